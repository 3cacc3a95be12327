// The command line of quarn-report: FILE [-o OUT] for a capture file, -i
// ADAPTER with its capture options for a live capture, -D, --help, --version.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "filter/filter_settings.h"

inline constexpr std::string_view kUsageLine
    = "usage: quarn-report FILE [-o OUT] [-j N]\n"
      "       quarn-report -i ADAPTER [-c N | --ring N] [--seconds S] [--filter1 SETTINGS]\n"
      "                    [--filter2 SETTINGS] [-w FILE] [-o OUT]\n"
      "       quarn-report -D";
inline constexpr std::string_view kVersionLine = "quarn-report 1.0";
inline constexpr std::string_view kDefaultOutput = "output.txt";
// The main window's default buffer: session mode, 100 slots.
inline constexpr uint32_t kDefaultSlots = 100;

struct ReportArguments {
    enum class Action { Report, Capture, ListAdapters, Help, Version };
    Action action = Action::Report;
    std::string input;                  // capture file; "-" reads standard input
    std::string output{kDefaultOutput}; // report file; "-" writes standard output
    uint32_t jobs = 0;                  // decoding threads; 0: one per usable core

    // A live capture (Action::Capture).
    std::string adapter;                  // as given: listed name or bare interface name
    uint32_t slots = kDefaultSlots;       // session buffer size, 1 to 5000
    bool continuous = false;              // --ring: keep the newest, until stopped
    uint32_t seconds = 0;                 // end after this long; 0: no limit
    bool filterGiven[2] = {false, false}; // --filter1, --filter2
    FilterControls filters[2];            // as the filter window's controls
    std::string captureFile;              // -w; empty: none
};

// Parse argv[1..argc-1]. On a bad command line returns false and sets problem
// to a short description (without the usage line).
bool ParseReportArguments(int argc, const char* const* argv, ReportArguments& arguments, std::string& problem);
