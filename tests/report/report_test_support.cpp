#include "report_test_support.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>

#include <gtest/gtest.h>

#include "report/report_block.h"
#include "report/report_output.h"
#include "session/session_buffer.h"

Bytes Hex(std::string_view text) {
    std::string digits;
    for (char c : text)
        if (std::isxdigit(static_cast<unsigned char>(c))) digits += c;
    if (digits.size() % 2) throw std::invalid_argument("odd number of hex digits");
    Bytes out;
    for (size_t i = 0; i < digits.size(); i += 2)
        out.push_back(static_cast<uint8_t>(std::stoi(digits.substr(i, 2), nullptr, 16)));
    return out;
}

Bytes Join(std::initializer_list<Bytes> pieces) {
    Bytes out;
    for (const Bytes& piece : pieces) out.insert(out.end(), piece.begin(), piece.end());
    return out;
}

Bytes PadTo(Bytes frame, size_t size) {
    if (frame.size() < size) frame.resize(size, 0);
    return frame;
}

Bytes EthernetHeader(uint16_t typeOrLength, std::string_view destination) {
    return Join({Hex(destination), Hex("02 00 00 44 55 66"),
                 Bytes{static_cast<uint8_t>(typeOrLength >> 8), static_cast<uint8_t>(typeOrLength)}});
}

Bytes IpFrame(IpHeader h, const Bytes& payload) {
    const size_t optionBytes = h.ihl > 5 ? 4u * h.ihl - 20 : 0;
    const auto total = static_cast<uint16_t>(20 + optionBytes + payload.size());
    Bytes ip = {static_cast<uint8_t>(0x40 | h.ihl), 0x00, static_cast<uint8_t>(total >> 8),
                static_cast<uint8_t>(total), 0x1A, 0x2B, static_cast<uint8_t>(h.flagsAndOffset >> 8),
                static_cast<uint8_t>(h.flagsAndOffset), 0x80, h.protocol, 0x00, 0x00,
                0xC0, 0xA8, 0x01, 0x0A, 0xC0, 0xA8, 0x01, 0x14};
    for (size_t i = 0; i < optionBytes; ++i) ip.push_back(static_cast<uint8_t>(i + 1));
    return Join({EthernetHeader(0x0800), ip, payload});
}

Bytes SynFrame() {
    return PadTo(IpFrame({}, Hex("04 0B 00 50 00 00 10 00 00 00 00 00 60 02 20 00 00 00 00 00 02 04 05 B4")), 60);
}

std::string CaptureOutput(const std::function<void()>& write) {
    FILE* file = std::tmpfile();
    if (!file) throw std::runtime_error("no temporary file");
    AttachReportOutput(fileno(file));
    write();
    EXPECT_TRUE(CloseReportOutput());
    std::rewind(file);
    std::string text;
    for (int c; (c = std::fgetc(file)) != EOF;) text += static_cast<char>(c);
    std::fclose(file);
    return text;
}

Lines SplitCrLf(const std::string& text) {
    Lines lines;
    for (size_t start = 0, end; start < text.size(); start = end + 2) {
        end = text.find("\r\n", start);
        if (end == std::string::npos) {
            ADD_FAILURE() << "last line does not end with CR LF: " << text.substr(start);
            lines.push_back(text.substr(start));
            break;
        }
        lines.push_back(text.substr(start, end - start));
        EXPECT_EQ(lines.back().find_first_of("\r\n"), std::string::npos) << "stray line break in: " << lines.back();
    }
    return lines;
}

Lines BlockBody(const Bytes& frame, int64_t storedLength) {
    Bytes exact(frame); // exactly sized, so a sanitizer catches any read past the frame
    exact.shrink_to_fit();
    const auto length = static_cast<uint32_t>(storedLength < 0 ? frame.size() : storedLength);
    const Lines lines = SplitCrLf(CaptureOutput([&] { WriteFrameBlock(exact, length, CaptureTime{}, 0); }));
    EXPECT_GE(lines.size(), 4u);
    if (lines.size() < 4) return lines;
    EXPECT_EQ(lines[lines.size() - 2], std::string(80, '-'));
    EXPECT_EQ(lines.back(), "");
    return {lines.begin() + 1, lines.end() - 2};
}

std::string GoldenFile(const std::string& name) { return std::string(QUARN_GOLDEN_DIR) + "/" + name; }

Bytes DumpedBytes(const Lines& block) {
    auto line = std::find_if(block.begin(), block.end(), [](const std::string& l) { return l.rfind("HEX data:", 0) == 0; });
    Bytes bytes;
    if (line == block.end()) return bytes;
    while (++line != block.end() && line->rfind("---", 0) != 0) {
        const Bytes more = Hex(line->substr(0, 60));
        bytes.insert(bytes.end(), more.begin(), more.end());
    }
    return bytes;
}

void WriteFile(const std::string& path, const Bytes& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (!out) throw std::runtime_error("cannot write " + path);
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void StoreFrame(const Bytes& frame, CaptureTime time) {
    uint8_t* buffer = SessionBuffer::CurrentFrame();
    const auto length = std::min<uint32_t>(static_cast<uint32_t>(frame.size()), kFrameBufferSize);
    std::memcpy(buffer, frame.data(), length);
    SessionBuffer::Store(buffer, length, time);
    SessionBuffer::Advance();
}

ScratchDirectory::ScratchDirectory() {
    path_ = (std::filesystem::temp_directory_path() / "quarn-report-test.XXXXXX").string();
    if (mkdtemp(path_.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
}

ScratchDirectory::~ScratchDirectory() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

std::vector<std::string> ScratchDirectory::Names() const {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(path_)) names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}
