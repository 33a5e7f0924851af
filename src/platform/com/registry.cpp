#include "platform/com/registry.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>

namespace zan::reg {

namespace {

// Owns a file descriptor; closes it on destruction.
class UniqueFd {
 public:
  explicit UniqueFd(int fd = -1) : fd_(fd) {}
  ~UniqueFd() {
    if (fd_ >= 0) ::close(fd_);
  }
  UniqueFd(const UniqueFd&) = delete;
  UniqueFd& operator=(const UniqueFd&) = delete;
  int get() const { return fd_; }
  bool ok() const { return fd_ >= 0; }
  void reset(int fd) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = fd;
  }

 private:
  int fd_;
};

std::string HomeDirectory() {
  if (const char* home = std::getenv("HOME"); home && *home) return home;
  long size = sysconf(_SC_GETPW_R_SIZE_MAX);
  std::string buf(size > 0 ? static_cast<size_t>(size) : 16384, '\0');
  passwd pw;
  passwd* result = nullptr;
  if (getpwuid_r(getuid(), &pw, buf.data(), buf.size(), &result) == 0 && result && result->pw_dir)
    return result->pw_dir;
  return ".";
}

std::string DirectoryOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

// mkdir -p; true when the directory exists afterwards.
bool MakeDirectories(const std::string& dir) {
  struct stat st;
  if (::stat(dir.c_str(), &st) == 0) return S_ISDIR(st.st_mode);
  const std::string parent = DirectoryOf(dir);
  if (parent != dir && !MakeDirectories(parent)) return false;
  return ::mkdir(dir.c_str(), 0755) == 0 || errno == EEXIST;
}

int LockRetrying(int fd, int op) {
  int rc;
  do rc = ::flock(fd, op);
  while (rc != 0 && errno == EINTR);
  return rc;
}

// The whole content of a file; false on a read error. A missing file is empty (*exists false).
bool ReadWholeFile(const std::string& path, std::string* text, bool* exists, struct stat* st) {
  text->clear();
  UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (!fd.ok()) {
    *exists = false;
    return errno == ENOENT;
  }
  *exists = true;
  if (::fstat(fd.get(), st) != 0) return false;
  char buf[65536];
  for (;;) {
    const ssize_t n = ::read(fd.get(), buf, sizeof buf);
    if (n == 0) return true;
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    text->append(buf, static_cast<size_t>(n));
  }
}

bool WriteAll(int fd, const std::string& text) {
  size_t done = 0;
  while (done < text.size()) {
    const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    done += static_cast<size_t>(n);
  }
  return true;
}

// Writes text to a temporary file beside path and renames it over path.
bool ReplaceFile(const std::string& path, const std::string& text, const struct stat* old) {
  static std::atomic<unsigned> counter{0};
  std::string temp;
  UniqueFd fd;
  for (int attempt = 0; attempt < 100 && !fd.ok(); ++attempt) {
    temp = path + ".tmp." + std::to_string(::getpid()) + "." + std::to_string(counter++);
    fd.reset(::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
    if (!fd.ok() && errno != EEXIST) return false;
  }
  if (!fd.ok()) return false;
  bool ok = WriteAll(fd.get(), text);
  if (ok && old) ok = ::fchmod(fd.get(), old->st_mode & 07777) == 0;
  if (ok) ok = ::fsync(fd.get()) == 0;
  if (ok) ok = ::rename(temp.c_str(), path.c_str()) == 0;
  if (!ok) {
    ::unlink(temp.c_str());
    return false;
  }
  UniqueFd dir(::open(DirectoryOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (dir.ok()) ::fsync(dir.get());
  return true;
}

// The lock file beside the registry file; -1 when it cannot be opened (or, for readers,
// created). Readers go on without it: every write replaces the file whole by a rename.
UniqueFd OpenLock(const std::string& path, bool forWriting) {
  const std::string lockPath = path + ".lock";
  int fd = ::open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
  if (fd < 0 && !forWriting) fd = ::open(lockPath.c_str(), O_RDONLY | O_CLOEXEC);
  return UniqueFd(fd);
}

}  // namespace

std::string RegistryFilePath() {
  if (const char* explicitPath = std::getenv("ZANCLIENT_REGISTRY"); explicitPath && *explicitPath) return explicitPath;
  if (const char* xdg = std::getenv("XDG_DATA_HOME"); xdg && xdg[0] == '/')
    return std::string(xdg) + "/zanclient/registry";
  return HomeDirectory() + "/.local/share/zanclient/registry";
}

// The registry file's tree, read under the caller's lock; exists and st describe the file.
static HRESULT Load(const std::string& path, Key& root, bool& exists, struct stat& st) {
  std::string text;
  if (!ReadWholeFile(path, &text, &exists, &st)) return REGDB_E_READREGDB;
  if (!Parse(text, &root)) return REGDB_E_READREGDB;
  return S_OK;
}

HRESULT Read(const std::function<HRESULT(const Key& root)>& fn) {
  const std::string path = RegistryFilePath();
  UniqueFd lock = OpenLock(path, false);
  if (lock.ok() && LockRetrying(lock.get(), LOCK_SH) != 0) return REGDB_E_READREGDB;
  Key root;
  bool exists = false;
  struct stat st;
  if (HRESULT hr = Load(path, root, exists, st); FAILED(hr)) return hr;
  return fn(root);
}

HRESULT Update(const std::function<HRESULT(Key& root)>& fn) {
  const std::string path = RegistryFilePath();
  if (!MakeDirectories(DirectoryOf(path))) return REGDB_E_WRITEREGDB;
  UniqueFd lock = OpenLock(path, true);
  if (!lock.ok() || LockRetrying(lock.get(), LOCK_EX) != 0) return REGDB_E_WRITEREGDB;
  Key root;
  bool exists = false;
  struct stat st;
  if (HRESULT loaded = Load(path, root, exists, st); FAILED(loaded)) return loaded;
  const std::string before = Serialize(root);
  const HRESULT hr = fn(root);
  if (FAILED(hr)) return hr;
  const std::string updated = Serialize(root);
  // An unchanged tree is not written (an empty registry stays without a file).
  if (updated == before) return hr;
  if (!ReplaceFile(path, updated, exists ? &st : nullptr)) return REGDB_E_WRITEREGDB;
  return hr;
}

HRESULT CreateKey(std::string_view path) {
  return Update([&](Key& root) { return root.Create(path); });
}

HRESULT SetValue(std::string_view path, std::string_view name, std::string_view text) {
  return Update([&](Key& root) {
    Key* key = &root;
    if (!path.empty()) {
      if (HRESULT hr = root.Create(path, &key); FAILED(hr)) return hr;
    }
    key->SetValue(name, Value::String(std::string(text)));
    return S_OK;
  });
}

HRESULT SetDwordValue(std::string_view path, std::string_view name, DWORD number) {
  return Update([&](Key& root) {
    Key* key = &root;
    if (!path.empty()) {
      if (HRESULT hr = root.Create(path, &key); FAILED(hr)) return hr;
    }
    key->SetValue(name, Value::Dword(number));
    return S_OK;
  });
}

namespace {
// kNotFound for a missing key, E_INVALIDARG for a malformed path.
template <typename K>
HRESULT Locate(K& root, std::string_view path, K** key) {
  std::vector<std::string_view> segs;
  if (!SplitPath(path, &segs)) return E_INVALIDARG;
  *key = root.Find(path);
  return *key ? S_OK : kNotFound;
}
}  // namespace

HRESULT QueryValue(std::string_view path, std::string_view name, Value* value) {
  return Read([&](const Key& root) {
    const Key* key = nullptr;
    if (HRESULT hr = Locate(root, path, &key); FAILED(hr)) return hr;
    const Value* v = key->FindValue(name);
    if (!v) return kNotFound;
    *value = *v;
    return S_OK;
  });
}

HRESULT QueryValue(std::string_view path, std::string_view name, std::string* text) {
  Value v;
  if (HRESULT hr = QueryValue(path, name, &v); FAILED(hr)) return hr;
  if (v.type != ValueType::kString) return kUnsupportedType;
  *text = std::move(v.text);
  return S_OK;
}

bool KeyExists(std::string_view path) {
  return Read([&](const Key& root) {
           const Key* key = nullptr;
           return Locate(root, path, &key);
         }) == S_OK;
}

HRESULT EnumKeys(std::string_view path, std::vector<std::string>* names) {
  names->clear();
  return Read([&](const Key& root) {
    const Key* key = nullptr;
    if (HRESULT hr = Locate(root, path, &key); FAILED(hr)) return hr;
    for (const Key& k : key->subkeys()) names->push_back(k.name());
    return S_OK;
  });
}

HRESULT EnumValues(std::string_view path, std::vector<std::pair<std::string, Value>>* values) {
  values->clear();
  return Read([&](const Key& root) {
    const Key* key = nullptr;
    if (HRESULT hr = Locate(root, path, &key); FAILED(hr)) return hr;
    *values = key->values();
    return S_OK;
  });
}

HRESULT DeleteValue(std::string_view path, std::string_view name) {
  return Update([&](Key& root) {
    Key* key = nullptr;
    if (HRESULT hr = Locate(root, path, &key); FAILED(hr)) return hr;
    return key->RemoveValue(name) ? S_OK : kNotFound;
  });
}

namespace {
// Splits "a\b\c" into the parent path "a\b" and the last name "c".
std::pair<std::string_view, std::string_view> ParentAndName(std::string_view path) {
  const size_t sep = path.rfind('\\');
  if (sep == std::string_view::npos) return {std::string_view(), path};
  return {path.substr(0, sep), path.substr(sep + 1)};
}
}  // namespace

HRESULT DeleteKey(std::string_view path) {
  if (path.empty()) return E_INVALIDARG;
  return Update([&](Key& root) {
    Key* key = nullptr;
    if (HRESULT hr = Locate(root, path, &key); FAILED(hr)) return hr;
    if (!key->subkeys().empty()) return E_ACCESSDENIED;
    const auto [parent, name] = ParentAndName(path);
    root.Find(parent)->RemoveSubkey(name);
    return S_OK;
  });
}

HRESULT DeleteTree(std::string_view path) {
  return Update([&](Key& root) {
    Key* key = nullptr;
    if (HRESULT hr = Locate(root, path, &key); FAILED(hr)) return hr;
    if (path.empty()) {
      root.Clear();
      return S_OK;
    }
    const auto [parent, name] = ParentAndName(path);
    root.Find(parent)->RemoveSubkey(name);
    return S_OK;
  });
}

}  // namespace zan::reg
