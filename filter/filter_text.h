// The filter window's text rules: how an address typed into one of its edits
// becomes the bytes of a filter slot. Plain functions over the edit's text,
// one character per byte (the window hands over Latin-1).
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

// 0-15 for "0"-"9", "a"-"f", "A"-"F"; 255 for every other character.
uint8_t HexDigitValue(char c);

// Exactly twelve hexadecimal digits, wherever they stand, give the six bytes
// (the first digit of each pair is the high half); every other character is
// skipped. Any other digit count: false, and `address` is left alone.
bool ReadValidatedMAC(std::string_view text, std::span<uint8_t, 6> address);

// A node address is taken only from a text of exactly 17 characters (six
// two-digit groups and five separators); its first twelve hexadecimal digits
// give the bytes as in ReadValidatedMAC. Any other length, or a 17-character
// text with fewer than twelve digits: false, and `address` keeps its bytes.
bool ReadNodeAddress(std::string_view text, std::span<uint8_t, 6> address);

// Dotted IPv4 text into `address`, which the caller has cleared. Digits
// accumulate into the current byte modulo 256; a dot moves to the next byte
// up to the fourth; any other character is skipped together with the one
// after it. No range check and no message: every text gives some address.
void ReadDottedIP(std::string_view text, std::span<uint8_t, 4> address);
