#pragma once
// What a message takes from the system it is composed on.

#include <cstdint>
#include <string>

namespace plumex::hostlib::mail {

// The ANSI code page that 8-bit text is in (1252 in the native build, the
// code page of the Wine locale the tests use).
unsigned ansiCodePage();
std::uint32_t processId();
// Milliseconds since the system started, wrapping.
std::uint32_t tickCount();

// The content type the system registers for the file name's extension;
// "application/octet-stream" when there is none (or it is longer than 64
// bytes).
std::string contentTypeForFile(const std::string& path);

} // namespace plumex::hostlib::mail
