// The kept folder listings. One inotify queue watches every kept folder; it
// is drained, without blocking, before every use of a kept listing. Names
// created or moved in are added, names removed or moved out are taken away;
// any other event for a folder drops its listing, and a lost event (queue
// overflow, a failed read) drops every listing. The kernel queues an event
// before the call that changed the folder returns, so a change made before
// a lookup starts is always seen by it.
#include "env/posix/FolderListings.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdint>
#include <map>
#include <mutex>
#include <vector>

#include "env/Text.h"

namespace remdo::env::posix {

namespace {

// Enough for the folders of a data set, its scratch copy and the engine's own.
constexpr std::size_t kMaxFolders = 64;
constexpr std::uint32_t kNameEvents = IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO;
constexpr std::uint32_t kWatchedEvents = kNameEvents | IN_DELETE_SELF | IN_MOVE_SELF | IN_ONLYDIR;

// File systems whose every change goes through this kernel, so that inotify
// reports it: local disks and memory. Network and FUSE file systems can
// change behind the kernel's back and are never kept.
bool SeesEveryChange(const struct statfs& fs) {
  constexpr std::array<std::uint32_t, 6> kLocal = {
      0xEF53,      // ext2, ext3, ext4
      0x58465342,  // xfs
      0x9123683E,  // btrfs
      0x01021994,  // tmpfs
      0xF2F52010,  // f2fs
      0x858458F6,  // ramfs
  };
  const auto type = static_cast<std::uint32_t>(fs.f_type);
  return std::find(kLocal.begin(), kLocal.end(), type) != kLocal.end();
}

struct TListing {
  dev_t device;
  ino_t inode;
  int watch;
  std::uint64_t lastUse = 0;
  std::map<std::string, std::vector<std::string>> names;  // by CaselessKey, in listing order

  void Add(const std::string& name) {
    auto& spellings = names[CaselessKey(name)];
    if (std::find(spellings.begin(), spellings.end(), name) == spellings.end()) spellings.push_back(name);
  }
  void Remove(const std::string& name) {
    const auto it = names.find(CaselessKey(name));
    if (it == names.end()) return;
    std::erase(it->second, name);
    if (it->second.empty()) names.erase(it);
  }
};

class TFolderListings {
 public:
  ~TFolderListings() { DropAll(); }

  std::optional<std::string> Find(const std::string& folder, const std::string& wanted) {
    const std::string path = folder.empty() ? std::string(".") : folder;
    const std::lock_guard lock(mutex_);
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return std::nullopt;
    Drain();
    auto it = listings_.find(path);
    // The path may name another folder now (a parent folder renamed, say).
    if (it != listings_.end() && (it->second.device != st.st_dev || it->second.inode != st.st_ino)) {
      Drop(path);
      it = listings_.end();
    }
    if (it == listings_.end()) it = Keep(path);
    if (it == listings_.end()) return ListOnce(path, wanted);
    it->second.lastUse = ++uses_;
    const auto found = it->second.names.find(wanted);
    if (found == it->second.names.end()) return std::nullopt;
    return found->second.front();
  }

  bool Kept(const std::string& folder) {
    const std::lock_guard lock(mutex_);
    Drain();
    return listings_.count(folder.empty() ? std::string(".") : folder) != 0;
  }

 private:
  static std::optional<std::string> ListOnce(const std::string& path, const std::string& wanted) {
    DIR* dir = ::opendir(path.c_str());
    if (dir == nullptr) return std::nullopt;
    std::optional<std::string> found;
    while (const dirent* entry = ::readdir(dir)) {
      if (CaselessKey(entry->d_name) == wanted) {
        found = entry->d_name;
        break;
      }
    }
    ::closedir(dir);
    return found;
  }

  // Lists and watches path; the end when it cannot or must not be kept.
  // The watch is set through the open folder, so that it is on the folder
  // that was listed even if path changes meanwhile.
  std::map<std::string, TListing>::iterator Keep(const std::string& path) {
    if (!OpenQueue()) return listings_.end();
    const int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return listings_.end();
    struct statfs fs {};
    struct stat st {};
    if (::fstatfs(fd, &fs) != 0 || !SeesEveryChange(fs) || ::fstat(fd, &st) != 0) {
      ::close(fd);
      return listings_.end();
    }
    if (listings_.size() >= kMaxFolders) DropLeastUsed();
    const std::string self = "/proc/self/fd/" + std::to_string(fd);
    const int watch = ::inotify_add_watch(queue_, self.c_str(), kWatchedEvents);
    // A folder already kept under another path has the same watch.
    DIR* dir = watch < 0 || folderOfWatch_.count(watch) != 0 ? nullptr : ::fdopendir(fd);
    if (dir == nullptr) {
      if (watch >= 0 && folderOfWatch_.count(watch) == 0) ::inotify_rm_watch(queue_, watch);
      ::close(fd);
      return listings_.end();
    }
    TListing listing{st.st_dev, st.st_ino, watch, 0, {}};
    while (const dirent* entry = ::readdir(dir)) listing.Add(entry->d_name);
    ::closedir(dir);
    folderOfWatch_[watch] = path;
    listings_.emplace(path, std::move(listing));
    Drain();  // changes made while the folder was read
    return listings_.find(path);
  }

  bool OpenQueue() {
    if (queue_ < 0 && !unavailable_) {
      queue_ = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
      unavailable_ = queue_ < 0;  // out of instances: list afresh from now on
    }
    return queue_ >= 0;
  }

  void Drain() {
    alignas(inotify_event) std::array<char, 16384> buffer;
    while (queue_ >= 0) {
      const ssize_t got = ::read(queue_, buffer.data(), buffer.size());
      if (got < 0 && errno == EINTR) continue;
      if (got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return;
      if (got <= 0) return DropAll();
      for (ssize_t at = 0; at < got && queue_ >= 0;) {
        const auto* event = reinterpret_cast<const inotify_event*>(buffer.data() + at);
        Apply(*event);
        at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
      }
    }
  }

  void Apply(const inotify_event& event) {
    if ((event.mask & IN_Q_OVERFLOW) != 0) return DropAll();
    const auto folder = folderOfWatch_.find(event.wd);
    if (folder == folderOfWatch_.end()) return;
    auto& listing = listings_.at(folder->second);
    const std::string name = event.len > 0 ? std::string(event.name) : std::string();
    if ((event.mask & ~(kNameEvents | IN_ISDIR)) != 0 || name.empty()) return Drop(folder->second);
    if ((event.mask & (IN_CREATE | IN_MOVED_TO)) != 0) listing.Add(name);
    if ((event.mask & (IN_DELETE | IN_MOVED_FROM)) != 0) listing.Remove(name);
  }

  void Drop(std::string folder) {
    const auto it = listings_.find(folder);
    if (it == listings_.end()) return;
    ::inotify_rm_watch(queue_, it->second.watch);  // fails harmlessly when the kernel removed it
    folderOfWatch_.erase(it->second.watch);
    listings_.erase(it);
  }

  void DropLeastUsed() {
    const auto oldest = std::min_element(listings_.begin(), listings_.end(), [](const auto& a, const auto& b) {
      return a.second.lastUse < b.second.lastUse;
    });
    if (oldest != listings_.end()) Drop(oldest->first);
  }

  void DropAll() {
    if (queue_ >= 0) ::close(queue_);
    queue_ = -1;
    listings_.clear();
    folderOfWatch_.clear();
  }

  std::mutex mutex_;
  int queue_ = -1;
  bool unavailable_ = false;
  std::uint64_t uses_ = 0;
  std::map<std::string, TListing> listings_;  // by folder path
  std::map<int, std::string> folderOfWatch_;
};

TFolderListings& Listings() {
  static TFolderListings listings;
  return listings;
}

}  // namespace

std::string CaselessKey(std::string_view hostName) {
  if (!IsAscii(hostName)) return UpperCase(Utf8ToCp1252(hostName));
  std::string key(hostName);
  for (char& c : key) c = UpperChar(c);
  return key;
}

std::optional<std::string> FindEntryCaseless(const std::string& folder, const std::string& wanted) {
  return Listings().Find(folder, wanted);
}

bool ListingKept(const std::string& folder) { return Listings().Kept(folder); }

}  // namespace remdo::env::posix
