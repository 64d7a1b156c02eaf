#pragma once
// How a mail transfer tells its script handler what happens: (code, text),
// answered true to go on. Only the answers to line and block reports
// (kSentLine, kBytesStored) are read.

#include <functional>
#include <string_view>

namespace plumex::hostlib::mail {

enum ProgressCode : int {
  kFailure = 0,      // a network failure's text, or "can't connect to the smtp server"
  kReply = 1,        // a server's whole reply (POP3: a negative one)
  kCommandSent = 2,  // the SMTP command line just sent
  kBytesStored = 3,  // a decimal count: a data line's length, or bytes of a message so far
};

using Progress = std::function<bool(int code, std::string_view text)>;

} // namespace plumex::hostlib::mail
