#include "session/capture_file.h"

#include <stdio_ext.h>
#include <sys/stat.h>

pcap_t* OpenEthernetCapture(std::FILE* file, std::string& problem)
{
    // libpcap would call an empty file a truncated one.
    struct stat st {};
    if (fstat(fileno(file), &st) == 0 && S_ISREG(st.st_mode) && st.st_size == 0) {
        problem = "cannot read capture: the file is empty";
        std::fclose(file);
        return nullptr;
    }
    // Only the thread that opened it reads the capture, so stdio need not
    // lock it for each of the two reads a frame.
    __fsetlocking(file, FSETLOCKING_BYCALLER);
    char error[PCAP_ERRBUF_SIZE] = "";
    pcap_t* capture = pcap_fopen_offline_with_tstamp_precision(file, PCAP_TSTAMP_PRECISION_NANO, error);
    if (capture == nullptr) {
        problem = std::string("cannot read capture: ") + error;
        std::fclose(file);
        return nullptr;
    }
    const int linkType = pcap_datalink(capture);
    if (linkType != DLT_EN10MB) {
        const char* name = pcap_datalink_val_to_name(linkType);
        const char* description = pcap_datalink_val_to_description(linkType);
        problem = "link type ";
        problem += name != nullptr ? name : std::to_string(linkType);
        if (description != nullptr)
            problem += std::string(" (") + description + ")";
        problem += " is not Ethernet; only Ethernet captures can be reported";
        pcap_close(capture);
        return nullptr;
    }
    return capture;
}
