#include "capture/binding.h"

#include <atomic>
#include <cstdio>
#include <mutex>
#include <utility>
#include <vector>

#include "app/messages.h"
#include "capture/adapter_names.h"
#include "frimble/frimble.h"
#include "frimble/open_failure.h"

namespace {

constexpr uint32_t kPromiscuousFilter = NDIS_PACKET_TYPE_PROMISCUOUS;

// Written on the UI thread (or by the capture's end), read by the capture thread.
std::atomic<AdapterObject*> g_boundAdapter{nullptr};

std::mutex g_failureMutex;
std::string g_failure; // guarded by g_failureMutex

// The adapter a command line named; empty: the list's first. Set before any
// capture runs, read again by whichever thread ends one.
std::mutex g_nameMutex;
std::string g_namedAdapter; // guarded by g_nameMutex

std::string NamedAdapter()
{
    std::lock_guard lock(g_nameMutex);
    return g_namedAdapter;
}

void SetFailure(std::string failure)
{
    std::lock_guard lock(g_failureMutex);
    g_failure = std::move(failure);
}

// The name of the adapter to open: the named one, or the first name of the
// adapter-name list, however long the list is; empty when the list cannot be
// read or is empty.
std::string AdapterToOpen()
{
    std::string named = NamedAdapter();
    if (!named.empty())
        return named;
    std::vector<std::string> names;
    std::string problem;
    if (!ReadAdapterList(names, problem) || names.empty())
        return {};
    return names.front();
}

// Opens the adapter to use (the named one, or the list's first) and puts it
// into promiscuous mode; null when there is none. Its name goes into opened.
// The reset and filter results are not examined.
AdapterObject* OpenAdapter(std::string* opened = nullptr)
{
    const std::string name = AdapterToOpen();
    if (opened != nullptr)
        *opened = name;
    if (name.empty()) {
        SetFailure("no Ethernet adapter found");
        return nullptr;
    }
    AdapterObject* adapter = PacketOpenAdapter(name.c_str());
    // The library keeps the reason for this thread, which is the caller's.
    SetFailure(adapter != nullptr ? std::string() : name + ": " + frimble::LastOpenFailure());
    if (adapter == nullptr)
        return nullptr;
    PacketResetAdapter(adapter);
    PacketSetFilter(adapter, kPromiscuousFilter);
    return adapter;
}

void ShowNoAdapter() { ShowMessageBox(kNoAdapterMessage, kNoAdapterCaption); }

void NameAdapter(const std::string& name)
{
    std::lock_guard lock(g_nameMutex);
    g_namedAdapter = name;
}

} // namespace

bool BindAdapter(AdapterLabels& labels, const std::string& name)
{
    NameAdapter(name);
    std::string opened;
    AdapterObject* adapter = OpenAdapter(&opened);
    if (adapter == nullptr) {
        labels.SetAdapterName("none");
        labels.SetAdapterAddress("none");
        ShowNoAdapter();
        RequestQuit();
        return false;
    }
    uint8_t address[6] = {};
    const bool haveAddress = PacketGetAddress(adapter, address) == 6;
    if (AdapterObject* previous = g_boundAdapter.exchange(adapter))
        PacketCloseAdapter(previous);

    labels.SetAdapterName(opened);
    // Without an answer the address label keeps its initial text.
    if (haveAddress) {
        char text[18];
        std::snprintf(text, sizeof text, "%02X:%02X:%02X:%02X:%02X:%02X", address[0], address[1], address[2],
                      address[3], address[4], address[5]);
        labels.SetAdapterAddress(text);
    }
    return true;
}

bool BindNamedAdapter(const std::string& name)
{
    NameAdapter(name);
    AdapterObject* adapter = OpenAdapter();
    if (AdapterObject* previous = g_boundAdapter.exchange(adapter))
        PacketCloseAdapter(previous);
    return adapter != nullptr;
}

void ReleaseAdapter()
{
    if (AdapterObject* adapter = g_boundAdapter.exchange(nullptr))
        PacketCloseAdapter(adapter);
}

void ReopenAdapter()
{
    ReleaseAdapter();
    g_boundAdapter.store(OpenAdapter());
}

AdapterObject* BoundAdapter() { return g_boundAdapter.load(); }

bool EnsureAdapterBound()
{
    if (g_boundAdapter.load() != nullptr)
        return true;
    if (AdapterObject* adapter = OpenAdapter()) {
        g_boundAdapter.store(adapter);
        return true;
    }
    ShowNoAdapter();
    return false;
}

std::string AdapterFailure()
{
    std::lock_guard lock(g_failureMutex);
    return g_failure;
}
