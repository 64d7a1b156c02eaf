#pragma once
// Multipart boundaries: "====_PLUMEX_MAIL_PART_%X.%X.%X_====" with the
// process id, the tick count and a number counted up in this process, so
// that no two boundaries of one process are the same.

#include <string>

namespace plumex::hostlib::mail {

std::string newBoundary();

} // namespace plumex::hostlib::mail
