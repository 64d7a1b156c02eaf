#include "hostlib/crypto/pending_file.h"

#include <cstdio>
#include <random>
#include <utility>

namespace plumex::hostlib::crypto {

PendingFile::PendingFile(std::string target) : target_(std::move(target)) {}

PendingFile::~PendingFile() {
  if (temporary_.empty()) return;
  file_.close();
  removeFile(temporary_);
}

bool PendingFile::create() {
  std::random_device random;
  for (int attempt = 0; attempt < 16; ++attempt) {
    char suffix[16];
    std::snprintf(suffix, sizeof suffix, ".~%08x", static_cast<unsigned>(random()));
    std::string name = target_ + suffix;
    if (fileExists(name)) continue;
    if (!file_.create(name)) return false;
    temporary_ = std::move(name);
    return true;
  }
  return false;
}

bool PendingFile::commit() {
  if (temporary_.empty()) return false;
  if (!file_.close() || !renameFile(temporary_, target_)) return false;
  temporary_.clear();
  return true;
}

} // namespace plumex::hostlib::crypto
