// Engine texts (byte strings in the system's own encoding) as Qt strings.
#pragma once

#include <QString>

#include <string_view>

inline QString FromView(std::string_view text)
{
    return QString::fromLocal8Bit(text.data(), static_cast<qsizetype>(text.size()));
}
