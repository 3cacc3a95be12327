// Records what the engine shows on the main window, from any thread.
#pragma once

#include <algorithm>
#include <mutex>
#include <string>
#include <vector>

#include "app/status.h"

class StatusRecorder : public StatusSeam {
public:
    StatusRecorder() { RegisterStatusSeam(this); }
    ~StatusRecorder() override { RegisterStatusSeam(nullptr); }

    void SetStatusText(std::string_view text) override { Add(status_, text); }
    void SetSessionControlsEnabled(bool enabled) override { Add(controls_, enabled ? "on" : "off"); }
    void SetFrameCounterText(std::string_view text) override { Add(counter_, text); }

    std::vector<std::string> Status() const { return Copy(status_); }
    std::vector<std::string> Controls() const { return Copy(controls_); }
    std::vector<std::string> Counter() const { return Copy(counter_); }
    size_t StatusCount(std::string_view text) const
    {
        const auto all = Status();
        return static_cast<size_t>(std::count(all.begin(), all.end(), text));
    }
    bool Empty() const { return Status().empty() && Controls().empty() && Counter().empty(); }
    void Clear()
    {
        std::lock_guard lock(m_);
        status_.clear();
        controls_.clear();
        counter_.clear();
    }

private:
    void Add(std::vector<std::string>& to, std::string_view text)
    {
        std::lock_guard lock(m_);
        to.emplace_back(text);
    }
    std::vector<std::string> Copy(const std::vector<std::string>& from) const
    {
        std::lock_guard lock(m_);
        return from;
    }

    mutable std::mutex m_;
    std::vector<std::string> status_, controls_, counter_;
};
