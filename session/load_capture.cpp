#include "session/load_capture.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <vector>

#include "session/capture_file.h"
#include "session/session_buffer.h"

namespace {

struct HeldFrame {
    std::vector<uint8_t> bytes;
    timespec moment{};
};

// Reads the whole capture, holding the frames the buffer will keep: the first
// capacity of them, or in a ring frame n where a capture puts it, in slot n
// modulo the capacity. False (problem set) at a frame that cannot be read.
bool ReadFrames(pcap_t* capture, uint32_t capacity, bool continuous, std::vector<HeldFrame>& held, uint64_t& read,
                std::string& problem)
{
    pcap_pkthdr* header = nullptr;
    const u_char* bytes = nullptr;
    for (read = 0;; ++read) {
        const int status = pcap_next_ex(capture, &header, &bytes);
        if (status == PCAP_ERROR_BREAK)
            return true;
        if (status != 1) {
            problem = "reading stopped at frame " + std::to_string(read) + ": " + pcap_geterr(capture);
            return false;
        }
        if (read >= capacity && !continuous)
            continue; // counted, not kept
        const size_t slot = read % capacity;
        if (slot == held.size())
            held.emplace_back();
        held[slot].bytes.assign(bytes, bytes + StoredLength(*header));
        held[slot].moment = FrameMoment(*header);
    }
}

} // namespace

bool LoadCaptureFile(const std::string& path, uint32_t capacity, bool continuous, LoadedCapture& loaded,
                     std::string& problem)
{
    if (capacity < 1 || capacity > SessionBuffer::kMaxCapacity) {
        problem = "a session buffer holds 1 to 5000 frames, not " + std::to_string(capacity);
        return false;
    }
    // A pipe or a device would hold the window until it is written to or
    // forever; a capture file is a regular one.
    struct stat st {};
    if (stat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode)) {
        problem = "cannot read capture: not a regular file";
        return false;
    }
    std::FILE* file = std::fopen(path.c_str(), "rbe");
    if (file == nullptr) {
        problem = std::string("cannot read capture: ") + std::strerror(errno);
        return false;
    }
    pcap_t* capture = OpenEthernetCapture(file, problem);
    if (capture == nullptr)
        return false;
    std::vector<HeldFrame> held;
    uint64_t read = 0;
    const bool whole = ReadFrames(capture, capacity, continuous, held, read, problem);
    pcap_close(capture);
    if (!whole)
        return false;

    SessionBuffer::ClearCount();
    if (!SessionBuffer::Allocate(capacity, continuous)) {
        problem = "not enough memory for a session buffer of " + std::to_string(capacity) + " frames";
        return false;
    }
    // Each frame is copied into its slot's own buffer, as received bytes are.
    SessionBuffer::Rewind();
    for (const HeldFrame& frame : held) {
        uint8_t* buffer = SessionBuffer::CurrentFrame();
        std::copy(frame.bytes.begin(), frame.bytes.end(), buffer);
        SessionBuffer::Store(buffer, static_cast<uint32_t>(frame.bytes.size()), LocalCaptureTime(frame.moment),
                             frame.moment);
        SessionBuffer::Advance();
    }
    loaded = {read, SessionBuffer::Count()};
    return true;
}
