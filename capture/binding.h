// Adapter binding: the program works with the first adapter of the packet
// library's adapter-name list. It is bound while the main window is built,
// reopened at the end of every capture (which ends the capture's outstanding
// receives) and closed when the main window closes. A command line may name
// the adapter instead (analyzer -i, quarn-report -i); that one is then reopened.
//
// No reset, filter, address query or receive is ever issued on an adapter that
// failed to open: a missing adapter is remembered as such, and a capture is only
// started after EnsureAdapterBound has found (or reopened) one.
#pragma once

#include <string>
#include <string_view>

struct AdapterObject;

// The main window's two "Network adapter" labels (initial text "-").
class AdapterLabels {
public:
    virtual ~AdapterLabels() = default;
    virtual void SetAdapterName(std::string_view text) = 0;
    virtual void SetAdapterAddress(std::string_view text) = 0;
};

inline constexpr std::string_view kNoAdapterMessage = "Network card not found or packet driver not correctly installed";
inline constexpr std::string_view kNoAdapterCaption = "Quarn Messagebox";

// Bind the adapter of that name (as the adapter-name list gives it, with its
// "\Device\" prefix), or the list's first when name is empty (forgetting a
// name given before): open, reset, promiscuous filter 0x20, address query;
// fill the labels. Every reopen and rebind then opens the same adapter.
// Without a usable adapter: labels "none", the no-adapter message box, then a
// quit request. Returns whether an adapter is bound.
bool BindAdapter(AdapterLabels& labels, const std::string& name = {});
// Bind the adapter of that name (as the adapter-name list gives it, with its
// "\Device\" prefix): open, reset, promiscuous filter 0x20. From then on
// every reopen and rebind opens this adapter, not the list's first. No labels
// and no message box: on failure the caller tells AdapterFailure().
bool BindNamedAdapter(const std::string& name);
// Close the bound adapter, if any.
void ReleaseAdapter();
// Close the bound adapter, then open the list's first adapter (or the named
// one) again (reset, filter 0x20; labels untouched). Afterwards
// BoundAdapter() may be null.
void ReopenAdapter();
// The bound adapter, or null when none could be opened.
AdapterObject* BoundAdapter();
// True when an adapter is bound; otherwise try to open it again (the list's
// first, or the named one; without touching the labels) and, when that fails too, show the no-adapter
// message box (no quit request) and return false.
bool EnsureAdapterBound();
// Why the last attempt to bind (or bind again) found no adapter: "no Ethernet
// adapter found", or the adapter's name and why it could not be opened, for
// instance "\Device\eth0: cannot open a packet socket: Operation not
// permitted". Empty once an adapter has been bound.
std::string AdapterFailure();
