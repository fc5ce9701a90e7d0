#pragma once
// One running instance per program title: a second start with the same soft_name finds
// the lock held and leaves; another title takes another lock and runs beside it.
#include <QLockFile>
#include <memory>
#include <string>

namespace tendrix::app {

class SingleInstance {
  public:
    explicit SingleInstance(const std::string& soft_name);
    // True when this process holds the lock (no other instance with this title runs).
    bool Acquired() const { return acquired_; }
    static std::string LockPath(const std::string& soft_name);

  private:
    std::unique_ptr<QLockFile> lock_;
    bool acquired_ = false;
};

}  // namespace tendrix::app
