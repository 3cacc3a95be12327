#include "report_test_support.h"

#include <algorithm>
#include <cstring>
#include <cstdio>
#include <fstream>
#include <stdexcept>

#include <gtest/gtest.h>

#include "report/report_block.h"
#include "report/report_output.h"
#include "session/session_buffer.h"

std::string CaptureOutput(const std::function<void()>& write)
{
    FILE* file = std::tmpfile();
    if (!file)
        throw std::runtime_error("no temporary file");
    AttachReportOutput(fileno(file));
    write();
    EXPECT_TRUE(CloseReportOutput());
    std::rewind(file);
    std::string text;
    for (int c; (c = std::fgetc(file)) != EOF;)
        text += static_cast<char>(c);
    std::fclose(file);
    return text;
}

Lines SplitCrLf(const std::string& text)
{
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

Lines BlockBody(const Bytes& frame, int64_t storedLength)
{
    Bytes exact(frame); // exactly sized, so a sanitizer catches any read past the frame
    exact.shrink_to_fit();
    const auto length = static_cast<uint32_t>(storedLength < 0 ? frame.size() : storedLength);
    const Lines lines = SplitCrLf(CaptureOutput([&] { WriteFrameBlock(exact, length, CaptureTime{}, 0); }));
    EXPECT_GE(lines.size(), 4u);
    if (lines.size() < 4)
        return lines;
    EXPECT_EQ(lines[lines.size() - 2], std::string(80, '-'));
    EXPECT_EQ(lines.back(), "");
    return {lines.begin() + 1, lines.end() - 2};
}

std::string GoldenFile(const std::string& name) { return std::string(QUARN_GOLDEN_DIR) + "/" + name; }

Bytes ReadGoldenFrame(const std::string& name)
{
    std::ifstream in(GoldenFile(name));
    std::string line, digits;
    while (std::getline(in, line))
        digits += line.substr(0, line.find('#')) + " ";
    return Hex(digits);
}

Bytes DumpedBytes(const Lines& block)
{
    auto line
        = std::find_if(block.begin(), block.end(), [](const std::string& l) { return l.rfind("HEX data:", 0) == 0; });
    Bytes bytes;
    if (line == block.end())
        return bytes;
    while (++line != block.end() && line->rfind("---", 0) != 0) {
        const Bytes more = Hex(line->substr(0, 60));
        bytes.insert(bytes.end(), more.begin(), more.end());
    }
    return bytes;
}

void StoreFrame(const Bytes& frame, CaptureTime time)
{
    uint8_t* buffer = SessionBuffer::CurrentFrame();
    const auto length = std::min<uint32_t>(static_cast<uint32_t>(frame.size()), kFrameBufferSize);
    std::memcpy(buffer, frame.data(), length);
    SessionBuffer::Store(buffer, length, time);
    SessionBuffer::Advance();
}
