// Small helpers shared by the simulated library and the simulated CLI.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace sim {

// Lower-case hex of the bytes, no separators.
std::string to_hex(const void* data, size_t len);

// Parses hex digits; blanks (space, tab, CR, LF) between digit pairs are
// skipped. Throws std::runtime_error on any other character or an odd digit
// count.
std::vector<uint8_t> parse_hex(const std::string& text);

// The text with ASCII letters in lower case.
std::string lower(std::string s);

// Copies text into dst, blank-padded or cut to len characters.
void put_padded(uint8_t* dst, const std::string& text, size_t len);

// Blocks for ms milliseconds with poll(); a signal that interrupts the wait
// does not shorten it.
void wait_ms(unsigned ms);

// Appends one line (a newline is added) to the file at path with a single
// write, opening and closing it each time so that nothing is lost when the
// process is killed right afterwards.
void append_line(const std::string& path, const std::string& line);

}  // namespace sim
