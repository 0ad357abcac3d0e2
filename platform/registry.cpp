// The registry subset over two SQLite hives.
//
// A hive file holds two tables:
//   reg_key(id INTEGER PRIMARY KEY, parent, name COLLATE NOCASE, class, UNIQUE(parent, name))
//   reg_value(id INTEGER PRIMARY KEY, key, name COLLATE NOCASE, type, data BLOB, UNIQUE(key, name))
// The root key of a hive has the id 0 and no row; top-level keys have parent 0.
// Names compare with ASCII case folding (NOCASE), enumeration follows the row
// id, that is creation order, and an overwritten value keeps its place. Keys
// are never deleted through this interface, so a key's id stays valid for the
// life of the file, which lets each connection remember the ids of the paths
// it has already looked up.
//
// Every write is one committed transaction in WAL mode with full sync, so the
// call returns only once its change is durable; a busy timeout lets several
// processes share a hive. A file that is not an SQLite database, or fails the
// integrity check, is never written: every call on it fails with
// ERROR_BADDB, which callers treat like a missing key.
#include <fcntl.h>
#include <pthread.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <system_error>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "pelix/platform_registry.h"

namespace pelix::platform::registry {
namespace {

constexpr int kBusyTimeoutMs = 10000;
constexpr char kSqliteMagic[16] = {'S', 'Q', 'L', 'i', 't', 'e', ' ', 'f', 'o', 'r', 'm', 'a', 't', ' ', '3', '\0'};

const char* const kSchema =
    "CREATE TABLE IF NOT EXISTS reg_key("
    " id INTEGER PRIMARY KEY,"
    " parent INTEGER NOT NULL,"
    " name TEXT NOT NULL COLLATE NOCASE,"
    " class BLOB NOT NULL DEFAULT x'',"
    " UNIQUE(parent, name));"
    "CREATE INDEX IF NOT EXISTS reg_key_by_parent ON reg_key(parent);"
    "CREATE TABLE IF NOT EXISTS reg_value("
    " id INTEGER PRIMARY KEY,"
    " key INTEGER NOT NULL,"
    " name TEXT NOT NULL COLLATE NOCASE,"
    " type INTEGER NOT NULL,"
    " data BLOB NOT NULL,"
    " UNIQUE(key, name));"
    "CREATE INDEX IF NOT EXISTS reg_value_by_key ON reg_value(key);";

// The statements a hive keeps prepared.
enum Statement {
  kFindKey,
  kInsertKey,
  kEnumKey,
  kValueSize,
  kValueData,
  kSetValue,
  kDeleteValue,
  kEnumValue,
  kBegin,
  kCommit,
  kRollback,
  kStatementCount
};

const char* const kStatementText[kStatementCount] = {
    "SELECT id FROM reg_key WHERE parent=?1 AND name=?2 AND id>0",
    "INSERT INTO reg_key(parent, name, class) VALUES(?1, ?2, ?3)",
    "SELECT name, class FROM reg_key WHERE parent=?1 AND id>0 ORDER BY id LIMIT 1 OFFSET ?2",
    "SELECT type, CASE typeof(data) WHEN 'blob' THEN length(data) ELSE length(CAST(data AS BLOB)) END"
    " FROM reg_value WHERE key=?1 AND name=?2",
    "SELECT type, data FROM reg_value WHERE key=?1 AND name=?2",
    "INSERT INTO reg_value(key, name, type, data) VALUES(?1, ?2, ?3, ?4)"
    " ON CONFLICT(key, name) DO UPDATE SET type=excluded.type, data=excluded.data",
    "DELETE FROM reg_value WHERE key=?1 AND name=?2",
    "SELECT name, type, data FROM reg_value WHERE key=?1 ORDER BY id LIMIT 1 OFFSET ?2",
    "BEGIN IMMEDIATE",
    "COMMIT",
    "ROLLBACK",
};

LONG FromSqlite(int rc) {
  switch (rc & 0xFF) {
    case SQLITE_OK:
    case SQLITE_DONE:
    case SQLITE_ROW: return ERROR_SUCCESS;
    case SQLITE_CORRUPT:
    case SQLITE_NOTADB:
    case SQLITE_FORMAT: return ERROR_BADDB;
    case SQLITE_READONLY:
    case SQLITE_PERM:
    case SQLITE_AUTH: return ERROR_ACCESS_DENIED;
    case SQLITE_NOMEM: return ERROR_OUTOFMEMORY;
    case SQLITE_TOOBIG: return ERROR_INVALID_PARAMETER;
    default: return ERROR_REGISTRY_IO_FAILED;
  }
}

char FoldChar(char ch) { return (ch >= 'A' && ch <= 'Z') ? static_cast<char>(ch - 'A' + 'a') : ch; }

std::string Fold(const std::string& text) {
  std::string folded(text);
  for (char& ch : folded) ch = FoldChar(ch);
  return folded;
}

// Splits a relative key path at '\'. A single trailing separator is ignored; an
// empty component elsewhere (a leading or doubled separator) makes the path bad.
bool SplitPath(const char* path, std::vector<std::string>& parts) {
  parts.clear();
  if (path == nullptr || *path == '\0') return true;
  if (*path == '\\') return false;
  std::string text(path);
  if (text.back() == '\\') text.pop_back();
  size_t start = 0;
  for (;;) {
    size_t end = text.find('\\', start);
    std::string part = text.substr(start, end == std::string::npos ? std::string::npos : end - start);
    if (part.empty()) return false;
    parts.push_back(std::move(part));
    if (end == std::string::npos) return true;
    start = end + 1;
  }
}

// The folded form of a relative key path, without a trailing separator;
// false for a path with an empty name in it.
bool FoldPath(const char* path, std::string& folded) {
  folded.clear();
  if (path == nullptr) return true;
  if (path[0] == '\\') return false;
  size_t length = std::strlen(path);
  if (length > 0 && path[length - 1] == '\\') --length;
  char previous = '\\';
  for (size_t i = 0; i < length; ++i) {
    if (path[i] == '\\' && previous == '\\') return false;
    previous = path[i];
    folded += FoldChar(path[i]);
  }
  return length == 0 || previous != '\\';
}

std::string JoinFolded(const std::string& base, const std::vector<std::string>& parts, size_t count) {
  std::string path(base);
  for (size_t i = 0; i < count; ++i) {
    if (!path.empty()) path += '\\';
    path += Fold(parts[i]);
  }
  return path;
}

// Binds a name as text of its exact bytes.
void BindName(sqlite3_stmt* stmt, int index, const char* name) {
  const char* text = name != nullptr ? name : "";
  sqlite3_bind_text(stmt, index, text, static_cast<int>(std::strlen(text)), SQLITE_STATIC);
}

std::string ColumnBytes(sqlite3_stmt* stmt, int column) {
  const void* bytes = sqlite3_column_blob(stmt, column);
  int size = sqlite3_column_bytes(stmt, column);
  if (bytes == nullptr || size <= 0) return std::string();
  return std::string(static_cast<const char*>(bytes), static_cast<size_t>(size));
}

// This process's id, kept up to date across fork (getpid is a system call,
// and every operation asks).
std::atomic<pid_t> g_pid{0};

void RememberPid() { g_pid.store(getpid(), std::memory_order_relaxed); }

pid_t CurrentPid() {
  static const bool registered = [] {
    RememberPid();
    pthread_atfork(nullptr, nullptr, RememberPid);
    return true;
  }();
  (void)registered;
  return g_pid.load(std::memory_order_relaxed);
}

// Resets a statement on every path out of a scope.
class StatementUse {
 public:
  explicit StatementUse(sqlite3_stmt* stmt) : m_stmt(stmt) {}
  ~StatementUse() {
    if (m_stmt != nullptr) {
      sqlite3_reset(m_stmt);
      sqlite3_clear_bindings(m_stmt);
    }
  }
  StatementUse(const StatementUse&) = delete;
  StatementUse& operator=(const StatementUse&) = delete;
  sqlite3_stmt* get() const { return m_stmt; }

 private:
  sqlite3_stmt* m_stmt;
};

// When an operation looks whether the hive file was removed or replaced:
// writes always do, reads of a hive checked within kRecheckInterval do not
// (a stat per read would cost as much as the read itself), operations on an
// opened key never do (its root's opening did).
enum class PathCheck { kAlways, kRecently, kNever };
constexpr std::chrono::milliseconds kRecheckInterval(100);

// One hive file and this process's connection to it.
class Hive {
 public:
  explicit Hive(std::string path) : m_path(std::move(path)), m_pid(CurrentPid()) {}
  ~Hive() {
    // A connection inherited over fork belongs to the parent: leave it alone.
    if (m_pid == CurrentPid()) Close();
  }
  Hive(const Hive&) = delete;
  Hive& operator=(const Hive&) = delete;

  std::mutex& Mutex() { return m_mutex; }
  pid_t Pid() const { return m_pid; }
  unsigned Generation() const { return m_generation; }

  // Makes sure the connection is open on the file now at the path; with
  // create, also makes sure the file (and its folder) and the tables exist.
  // check asks whether the file at the path is still the one the connection
  // has open: always, or (for reads) at most once per kRecheckInterval.
  LONG Ensure(bool create, PathCheck check) {
    if (m_db != nullptr) {
      if (check == PathCheck::kNever) return create ? EnsureSchema() : ERROR_SUCCESS;
      auto now = std::chrono::steady_clock::now();
      if (check == PathCheck::kRecently && now - m_checked < kRecheckInterval) {
        return create ? EnsureSchema() : ERROR_SUCCESS;
      }
    }
    struct stat st {};
    bool exists = ::stat(m_path.c_str(), &st) == 0;
    if (m_db != nullptr) {
      if (exists && st.st_dev == m_dev && st.st_ino == m_ino) {
        m_checked = std::chrono::steady_clock::now();
        return create ? EnsureSchema() : ERROR_SUCCESS;
      }
      // The file was removed or replaced: keys opened on it die with it.
      Close();
      ++m_generation;
    }
    if (!exists) {
      if (!create) return ERROR_FILE_NOT_FOUND;
      if (!MakeFolders()) return ERROR_ACCESS_DENIED;
    } else {
      if (!S_ISREG(st.st_mode)) return ERROR_BADDB;
      LONG header = CheckHeader();
      if (header != ERROR_SUCCESS) return header;
    }
    LONG opened = Open(!exists);
    if (opened != ERROR_SUCCESS) return opened;
    return create ? EnsureSchema() : ERROR_SUCCESS;
  }

  bool HasSchema() const { return m_schema; }
  bool ReadOnly() const { return m_db != nullptr && sqlite3_db_readonly(m_db, "main") == 1; }

  // Closes the connection, folding the log into the file; the next operation
  // opens it again.
  void Release() { Close(); }

  sqlite3_stmt* Get(Statement which) {
    if (m_db == nullptr) return nullptr;
    if (m_statements[which] == nullptr) {
      if (sqlite3_prepare_v3(m_db, kStatementText[which], -1, SQLITE_PREPARE_PERSISTENT, &m_statements[which],
                             nullptr) != SQLITE_OK) {
        m_statements[which] = nullptr;
      }
    }
    return m_statements[which];
  }

  int Exec(Statement which) {
    StatementUse use(Get(which));
    if (use.get() == nullptr) return sqlite3_errcode(m_db) != SQLITE_OK ? sqlite3_errcode(m_db) : SQLITE_ERROR;
    return sqlite3_step(use.get());
  }

  // Looks up one child key; returns ERROR_SUCCESS with its id, or an error.
  LONG FindChild(int64_t parent, const std::string& name, int64_t& id) {
    if (!m_schema) return ERROR_FILE_NOT_FOUND;
    StatementUse use(Get(kFindKey));
    if (use.get() == nullptr) return ERROR_BADDB;
    sqlite3_bind_int64(use.get(), 1, parent);
    BindName(use.get(), 2, name.c_str());
    int rc = sqlite3_step(use.get());
    if (rc == SQLITE_ROW) {
      id = sqlite3_column_int64(use.get(), 0);
      return ERROR_SUCCESS;
    }
    return rc == SQLITE_DONE ? ERROR_FILE_NOT_FOUND : FromSqlite(rc);
  }

  // Ids of key paths already found, by folded path. Only keys that exist are
  // remembered; since keys are never deleted, an entry never goes stale.
  bool CachedId(const std::string& folded, int64_t& id) const {
    auto it = m_keyIds.find(folded);
    if (it == m_keyIds.end()) return false;
    id = it->second;
    return true;
  }
  void RememberId(const std::string& folded, int64_t id) {
    if (m_keyIds.size() > 4096) m_keyIds.clear();
    m_keyIds[folded] = id;
  }

 private:
  bool MakeFolders() {
    size_t slash = m_path.rfind('/');
    if (slash == std::string::npos || slash == 0) return true;
    std::string folder = m_path.substr(0, slash);
    for (size_t pos = 1; pos <= folder.size(); ++pos) {
      if (pos == folder.size() || folder[pos] == '/') {
        std::string part = folder.substr(0, pos);
        if (::mkdir(part.c_str(), 0755) != 0 && errno != EEXIST) return false;
      }
    }
    return true;
  }

  // The file must be empty (a hive being created) or start with the SQLite
  // header; it is only read here.
  LONG CheckHeader() {
    int fd = ::open(m_path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return errno == ENOENT ? ERROR_FILE_NOT_FOUND : ERROR_ACCESS_DENIED;
    char header[sizeof kSqliteMagic] = {};
    ssize_t got = ::read(fd, header, sizeof header);
    ::close(fd);
    if (got == 0) return ERROR_SUCCESS;
    if (got != static_cast<ssize_t>(sizeof header) || std::memcmp(header, kSqliteMagic, sizeof header) != 0) {
      return ERROR_BADDB;
    }
    return ERROR_SUCCESS;
  }

  LONG Open(bool create) {
    int flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX | SQLITE_OPEN_PRIVATECACHE;
    if (create) flags |= SQLITE_OPEN_CREATE;
    sqlite3* db = nullptr;
    int rc = sqlite3_open_v2(m_path.c_str(), &db, flags, nullptr);
    if (rc != SQLITE_OK) {
      sqlite3_close_v2(db);
      return rc == SQLITE_CANTOPEN ? ERROR_FILE_NOT_FOUND : FromSqlite(rc);
    }
    sqlite3_busy_timeout(db, kBusyTimeoutMs);
    sqlite3_extended_result_codes(db, 1);
    // Hostile files must not run anything or reach outside the file.
    sqlite3_db_config(db, SQLITE_DBCONFIG_TRUSTED_SCHEMA, 0, nullptr);
    sqlite3_db_config(db, SQLITE_DBCONFIG_DEFENSIVE, 1, nullptr);
    LONG checked = Validate(db);
    if (checked != ERROR_SUCCESS) {
      sqlite3_close_v2(db);
      return checked;
    }
    if (sqlite3_db_readonly(db, "main") != 1) {
      sqlite3_exec(db, "PRAGMA journal_mode=WAL", nullptr, nullptr, nullptr);
    }
    sqlite3_exec(db, "PRAGMA synchronous=FULL", nullptr, nullptr, nullptr);
    struct stat st {};
    if (::stat(m_path.c_str(), &st) != 0) {
      sqlite3_close_v2(db);
      return ERROR_FILE_NOT_FOUND;
    }
    m_dev = st.st_dev;
    m_ino = st.st_ino;
    m_checked = std::chrono::steady_clock::now();
    m_db = db;
    return ERROR_SUCCESS;
  }

  // A usable hive passes the quick integrity check and has either both tables
  // or no table at all (a fresh file). Any other database is left alone.
  LONG Validate(sqlite3* db) {
    sqlite3_stmt* stmt = nullptr;
    int rc = sqlite3_prepare_v2(db, "PRAGMA quick_check(1)", -1, &stmt, nullptr);
    if (rc != SQLITE_OK) {
      sqlite3_finalize(stmt);
      return FromSqlite(rc) == ERROR_REGISTRY_IO_FAILED ? ERROR_BADDB : FromSqlite(rc);
    }
    rc = sqlite3_step(stmt);
    bool ok = rc == SQLITE_ROW && sqlite3_column_text(stmt, 0) != nullptr &&
              std::strcmp(reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0)), "ok") == 0;
    int stepped = rc;
    sqlite3_finalize(stmt);
    if (!ok) return (stepped & 0xFF) == SQLITE_BUSY ? ERROR_REGISTRY_IO_FAILED : ERROR_BADDB;
    rc = sqlite3_prepare_v2(db,
                            "SELECT count(*), sum(name IN ('reg_key','reg_value')) FROM sqlite_master"
                            " WHERE type='table'",
                            -1, &stmt, nullptr);
    int tables = -1;
    int ours = -1;
    if (rc == SQLITE_OK && sqlite3_step(stmt) == SQLITE_ROW) {
      tables = sqlite3_column_int(stmt, 0);
      ours = sqlite3_column_int(stmt, 1);
    }
    sqlite3_finalize(stmt);
    bool fresh = tables == 0;
    bool hive = tables == 2 && ours == 2;
    if (!fresh && !hive) return ERROR_BADDB;
    m_schema = hive;
    return ERROR_SUCCESS;
  }

  LONG EnsureSchema() {
    if (m_schema) return ERROR_SUCCESS;
    if (ReadOnly()) return ERROR_ACCESS_DENIED;
    int rc = sqlite3_exec(m_db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK) return FromSqlite(rc);
    rc = sqlite3_exec(m_db, kSchema, nullptr, nullptr, nullptr);
    if (rc == SQLITE_OK) rc = sqlite3_exec(m_db, "COMMIT", nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK) {
      sqlite3_exec(m_db, "ROLLBACK", nullptr, nullptr, nullptr);
      return FromSqlite(rc);
    }
    m_schema = true;
    return ERROR_SUCCESS;
  }

  void Close() {
    for (sqlite3_stmt*& stmt : m_statements) {
      sqlite3_finalize(stmt);
      stmt = nullptr;
    }
    if (m_db != nullptr) sqlite3_close_v2(m_db);
    m_db = nullptr;
    m_schema = false;
    m_keyIds.clear();
  }

  std::mutex m_mutex;
  std::string m_path;
  pid_t m_pid;
  sqlite3* m_db = nullptr;
  bool m_schema = false;
  dev_t m_dev = 0;
  ino_t m_ino = 0;
  unsigned m_generation = 0;
  std::chrono::steady_clock::time_point m_checked;
  sqlite3_stmt* m_statements[kStatementCount] = {};
  std::unordered_map<std::string, int64_t> m_keyIds;
};

}  // namespace
}  // namespace pelix::platform::registry

// An open key: its hive, its id there and its folded path from the root.
struct PelixRegKey {
  std::shared_ptr<pelix::platform::registry::Hive> hive;
  unsigned generation = 0;
  int64_t id = 0;
  std::string path;
  REGSAM access = 0;
};

namespace pelix::platform::registry {
namespace {

// The process's hives by file path and its open handles. Never destroyed, so
// that calls made while the process exits stay safe.
struct State {
  std::mutex mutex;
  std::unordered_map<std::string, std::shared_ptr<Hive>> hives;
  std::unordered_set<PelixRegKey*> handles;
  // Hives inherited over fork: their connections belong to the parent and
  // are kept, never used or closed, in this process.
  std::vector<std::shared_ptr<Hive>> inherited;
};

// Hives kept open before unused ones of other folders are closed.
constexpr size_t kMaxIdleHives = 4;

State& TheState() {
  static State* state = new State;
  return *state;
}

// At exit the process's connections are closed, so that each hive is left
// as one file. A call made later simply opens its hive again.
struct CloseAtExit {
  CloseAtExit() { TheState(); }  // the state outlives this object
  ~CloseAtExit() {
    State& state = TheState();
    std::lock_guard<std::mutex> lock(state.mutex);
    for (auto& entry : state.hives) {
      Hive& hive = *entry.second;
      if (hive.Pid() != CurrentPid()) continue;
      std::lock_guard<std::mutex> hiveLock(hive.Mutex());
      hive.Release();
    }
  }
  CloseAtExit(const CloseAtExit&) = delete;
  CloseAtExit& operator=(const CloseAtExit&) = delete;
};
CloseAtExit g_closeAtExit;

bool IsRoot(HKEY key) { return key == HKEY_CURRENT_USER || key == HKEY_LOCAL_MACHINE; }

std::string HivePath(HKEY root) {
  bool machine = root == HKEY_LOCAL_MACHINE;
  const char* dir = std::getenv("PELIX_REGISTRY_DIR");
  if (dir != nullptr && *dir != '\0') return std::string(dir) + (machine ? "/machine.sqlite3" : "/user.sqlite3");
  if (machine) return "/etc/pelix/machine.sqlite3";
  const char* config = std::getenv("XDG_CONFIG_HOME");
  if (config != nullptr && *config != '\0') return std::string(config) + "/pelix/user.sqlite3";
  const char* home = std::getenv("HOME");
  if (home != nullptr && *home != '\0') return std::string(home) + "/.config/pelix/user.sqlite3";
  return std::string();
}

std::shared_ptr<Hive> HiveFor(HKEY root) {
  std::string path = HivePath(root);
  if (path.empty()) return nullptr;
  State& state = TheState();
  std::lock_guard<std::mutex> lock(state.mutex);
  if (state.hives.size() >= kMaxIdleHives && state.hives.count(path) == 0) {
    // The folder has moved on several times (tests do this): close the
    // hives of other folders that no open key uses.
    for (auto it = state.hives.begin(); it != state.hives.end();) {
      if (it->second.use_count() == 1) {
        if (it->second->Pid() != CurrentPid()) state.inherited.push_back(it->second);
        it = state.hives.erase(it);
      } else {
        ++it;
      }
    }
  }
  std::shared_ptr<Hive>& slot = state.hives[path];
  if (slot == nullptr || slot->Pid() != CurrentPid()) {
    if (slot != nullptr) state.inherited.push_back(slot);  // this process opens its own
    slot = std::make_shared<Hive>(path);
  }
  return slot;
}

// What an operation works on: a locked hive and a key in it.
struct KeyRef {
  std::shared_ptr<Hive> hive;
  std::unique_lock<std::mutex> lock;
  int64_t id = 0;
  std::string path;
  REGSAM access = 0;
};

// Resolves key for an operation. A root key is resolved afresh (its hive path
// may have changed); an opened key must be live and of the file it was opened
// on. create asks for the hive file and tables to exist.
LONG Resolve(HKEY key, bool create, KeyRef& ref, bool wantPath = false, PathCheck check = PathCheck::kAlways) {
  if (IsRoot(key)) {
    ref.hive = HiveFor(key);
    if (ref.hive == nullptr) return ERROR_FILE_NOT_FOUND;
    ref.lock = std::unique_lock<std::mutex>(ref.hive->Mutex());
    ref.id = 0;
    ref.path.clear();
    ref.access = KEY_ALL_ACCESS;
    return ref.hive->Ensure(create, check);
  }
  if (key == nullptr) return ERROR_INVALID_HANDLE;
  unsigned generation = 0;
  {
    State& state = TheState();
    std::lock_guard<std::mutex> lock(state.mutex);
    if (state.handles.count(key) == 0) return ERROR_INVALID_HANDLE;
    ref.hive = key->hive;
    ref.id = key->id;
    if (wantPath) ref.path = key->path;
    ref.access = key->access;
    generation = key->generation;
  }
  if (ref.hive->Pid() != CurrentPid()) return ERROR_INVALID_HANDLE;
  ref.lock = std::unique_lock<std::mutex>(ref.hive->Mutex());
  LONG result = ref.hive->Ensure(create, PathCheck::kNever);
  if (result == ERROR_FILE_NOT_FOUND && ref.id != 0) return ERROR_KEY_DELETED;  // the file went away
  if (result != ERROR_SUCCESS) return result;
  // The root of a hive stays valid whichever file holds it.
  if (ref.id != 0 && ref.hive->Generation() != generation) return ERROR_KEY_DELETED;
  return ERROR_SUCCESS;
}

HKEY NewHandle(const KeyRef& ref, int64_t id, std::string path, REGSAM access) {
  auto* handle = new PelixRegKey;
  handle->hive = ref.hive;
  handle->generation = ref.hive->Generation();
  handle->id = id;
  handle->path = std::move(path);
  handle->access = access;
  State& state = TheState();
  std::lock_guard<std::mutex> lock(state.mutex);
  state.handles.insert(handle);
  return handle;
}

bool WantsWrite(REGSAM access) { return (access & (KEY_SET_VALUE | KEY_CREATE_SUB_KEY)) != 0; }

// Walks parts below ref's key; on success id is the key's id.
LONG Walk(KeyRef& ref, const char* subKey, const std::string& relative, int64_t& id, std::string& folded) {
  folded = ref.path;
  if (!folded.empty() && !relative.empty()) folded += '\\';
  folded += relative;
  if (ref.hive->CachedId(folded, id)) return ERROR_SUCCESS;
  std::vector<std::string> parts;
  SplitPath(subKey, parts);
  id = ref.id;
  for (size_t i = 0; i < parts.size(); ++i) {
    LONG found = ref.hive->FindChild(id, parts[i], id);
    if (found != ERROR_SUCCESS) return found;
    ref.hive->RememberId(JoinFolded(ref.path, parts, i + 1), id);
  }
  return ERROR_SUCCESS;
}

// Checks that name and its terminator fit *size characters; if not, *size
// receives the characters needed.
LONG FitName(const std::string& name, DWORD* size) {
  if (name.size() + 1 > *size) {
    *size = static_cast<DWORD>(name.size() + 1);
    return ERROR_MORE_DATA;
  }
  return ERROR_SUCCESS;
}

}  // namespace
}  // namespace pelix::platform::registry

using namespace pelix::platform::registry;  // NOLINT(google-build-using-namespace)

LONG RegOpenKeyExA(HKEY key, const char* subKey, DWORD /*options*/, REGSAM desired, HKEY* result) {
  if (result == nullptr) return ERROR_INVALID_PARAMETER;
  *result = nullptr;
  std::string relative;
  if (!FoldPath(subKey, relative)) return ERROR_BAD_PATHNAME;
  KeyRef ref;
  LONG resolved = Resolve(key, false, ref, true, WantsWrite(desired) ? PathCheck::kAlways : PathCheck::kRecently);
  if (resolved == ERROR_FILE_NOT_FOUND && relative.empty() && IsRoot(key)) resolved = ERROR_SUCCESS;  // empty hive
  if (resolved != ERROR_SUCCESS) return resolved;
  int64_t id = 0;
  std::string folded;
  LONG walked = Walk(ref, subKey, relative, id, folded);
  if (walked != ERROR_SUCCESS) return walked;
  if (WantsWrite(desired) && ref.hive->ReadOnly()) return ERROR_ACCESS_DENIED;
  *result = NewHandle(ref, id, std::move(folded), desired);
  return ERROR_SUCCESS;
}

LONG RegCreateKeyExA(HKEY key, const char* subKey, DWORD /*reserved*/, char* keyClass, DWORD /*options*/,
                     REGSAM desired, const void* /*securityAttributes*/, HKEY* result, DWORD* disposition) {
  if (result == nullptr || subKey == nullptr) return ERROR_INVALID_PARAMETER;
  *result = nullptr;
  std::string relative;
  if (!FoldPath(subKey, relative)) return ERROR_BAD_PATHNAME;
  std::vector<std::string> parts;
  SplitPath(subKey, parts);
  KeyRef ref;
  LONG resolved = Resolve(key, true, ref, true);
  if (resolved != ERROR_SUCCESS) return resolved;
  if (ref.hive->ReadOnly()) return ERROR_ACCESS_DENIED;
  Hive& hive = *ref.hive;
  int64_t id = 0;
  std::string folded;
  LONG walked = Walk(ref, subKey, relative, id, folded);
  if (walked == ERROR_SUCCESS) {
    if (disposition != nullptr) *disposition = REG_OPENED_EXISTING_KEY;
    *result = NewHandle(ref, id, std::move(folded), desired);
    return ERROR_SUCCESS;
  }
  if (walked != ERROR_FILE_NOT_FOUND) return walked;
  if ((ref.access & KEY_CREATE_SUB_KEY) == 0) return ERROR_ACCESS_DENIED;

  // Create the missing part of the path in one transaction; another process
  // may have created some of it meanwhile.
  int rc = hive.Exec(kBegin);
  if (rc != SQLITE_DONE) return FromSqlite(rc);
  id = ref.id;
  bool created = false;
  LONG failure = ERROR_SUCCESS;
  for (size_t i = 0; i < parts.size() && failure == ERROR_SUCCESS; ++i) {
    LONG found = hive.FindChild(id, parts[i], id);
    if (found == ERROR_SUCCESS) continue;
    if (found != ERROR_FILE_NOT_FOUND) {
      failure = found;
      break;
    }
    StatementUse insert(hive.Get(kInsertKey));
    if (insert.get() == nullptr) {
      failure = ERROR_BADDB;
      break;
    }
    sqlite3_bind_int64(insert.get(), 1, id);
    BindName(insert.get(), 2, parts[i].c_str());
    bool last = i + 1 == parts.size();
    const char* cls = (last && keyClass != nullptr) ? keyClass : "";
    sqlite3_bind_blob(insert.get(), 3, cls, static_cast<int>(std::strlen(cls)), SQLITE_STATIC);
    rc = sqlite3_step(insert.get());
    if (rc != SQLITE_DONE) {
      failure = FromSqlite(rc);
      break;
    }
    id = sqlite3_last_insert_rowid(sqlite3_db_handle(insert.get()));
    created = true;
  }
  if (failure == ERROR_SUCCESS) {
    rc = hive.Exec(kCommit);
    if (rc != SQLITE_DONE) failure = FromSqlite(rc);
  }
  if (failure != ERROR_SUCCESS) {
    hive.Exec(kRollback);
    return failure;
  }
  if (disposition != nullptr) *disposition = created ? REG_CREATED_NEW_KEY : REG_OPENED_EXISTING_KEY;
  *result = NewHandle(ref, id, std::move(folded), desired);
  return ERROR_SUCCESS;
}

LONG RegQueryValueExA(HKEY key, const char* valueName, DWORD* reserved, DWORD* type, BYTE* data, DWORD* dataSize) {
  if (reserved != nullptr || (data != nullptr && dataSize == nullptr)) return ERROR_INVALID_PARAMETER;
  KeyRef ref;
  LONG resolved = Resolve(key, false, ref);
  if (resolved != ERROR_SUCCESS) return resolved;
  if ((ref.access & KEY_QUERY_VALUE) == 0) return ERROR_ACCESS_DENIED;
  if (!ref.hive->HasSchema()) return ERROR_FILE_NOT_FOUND;
  StatementUse use(ref.hive->Get(data != nullptr ? kValueData : kValueSize));
  if (use.get() == nullptr) return ERROR_BADDB;
  sqlite3_bind_int64(use.get(), 1, ref.id);
  BindName(use.get(), 2, valueName);
  int rc = sqlite3_step(use.get());
  if (rc == SQLITE_DONE) return ERROR_FILE_NOT_FOUND;
  if (rc != SQLITE_ROW) return FromSqlite(rc);
  DWORD storedType = static_cast<DWORD>(sqlite3_column_int64(use.get(), 0));
  if (data == nullptr) {
    if (type != nullptr) *type = storedType;
    if (dataSize != nullptr) *dataSize = static_cast<DWORD>(sqlite3_column_int64(use.get(), 1));
    return ERROR_SUCCESS;
  }
  const void* bytes = sqlite3_column_blob(use.get(), 1);
  DWORD size = static_cast<DWORD>(sqlite3_column_bytes(use.get(), 1));
  if (type != nullptr) *type = storedType;
  if (size > *dataSize) {
    *dataSize = size;
    return ERROR_MORE_DATA;
  }
  if (size > 0 && bytes != nullptr) std::memcpy(data, bytes, size);
  *dataSize = size;
  return ERROR_SUCCESS;
}

LONG RegSetValueExA(HKEY key, const char* valueName, DWORD /*reserved*/, DWORD type, const BYTE* data, DWORD dataSize) {
  if (data == nullptr && dataSize != 0) return ERROR_INVALID_PARAMETER;
  if (dataSize > static_cast<DWORD>(INT32_MAX)) return ERROR_INVALID_PARAMETER;
  KeyRef ref;
  LONG resolved = Resolve(key, true, ref);
  if (resolved != ERROR_SUCCESS) return resolved;
  if ((ref.access & KEY_SET_VALUE) == 0 || ref.hive->ReadOnly()) return ERROR_ACCESS_DENIED;
  StatementUse use(ref.hive->Get(kSetValue));
  if (use.get() == nullptr) return ERROR_BADDB;
  static const BYTE kNoBytes[1] = {0};
  sqlite3_bind_int64(use.get(), 1, ref.id);
  BindName(use.get(), 2, valueName);
  sqlite3_bind_int64(use.get(), 3, type);
  sqlite3_bind_blob(use.get(), 4, data != nullptr ? data : kNoBytes, static_cast<int>(dataSize), SQLITE_STATIC);
  // One statement outside any transaction: committed when it returns.
  int rc = sqlite3_step(use.get());
  return rc == SQLITE_DONE ? ERROR_SUCCESS : FromSqlite(rc);
}

LONG RegDeleteValueA(HKEY key, const char* valueName) {
  KeyRef ref;
  LONG resolved = Resolve(key, false, ref);
  if (resolved != ERROR_SUCCESS) return resolved;
  if ((ref.access & KEY_SET_VALUE) == 0 || ref.hive->ReadOnly()) return ERROR_ACCESS_DENIED;
  if (!ref.hive->HasSchema()) return ERROR_FILE_NOT_FOUND;
  StatementUse use(ref.hive->Get(kDeleteValue));
  if (use.get() == nullptr) return ERROR_BADDB;
  sqlite3_bind_int64(use.get(), 1, ref.id);
  BindName(use.get(), 2, valueName);
  int rc = sqlite3_step(use.get());
  if (rc != SQLITE_DONE) return FromSqlite(rc);
  return sqlite3_changes(sqlite3_db_handle(use.get())) > 0 ? ERROR_SUCCESS : ERROR_FILE_NOT_FOUND;
}

LONG RegEnumKeyExA(HKEY key, DWORD index, char* name, DWORD* nameSize, DWORD* reserved, char* keyClass,
                   DWORD* classSize, FILETIME* lastWriteTime) {
  if (name == nullptr || nameSize == nullptr || reserved != nullptr) return ERROR_INVALID_PARAMETER;
  if (keyClass != nullptr && classSize == nullptr) return ERROR_INVALID_PARAMETER;
  KeyRef ref;
  LONG resolved = Resolve(key, false, ref);
  if (resolved == ERROR_FILE_NOT_FOUND && ref.id == 0) return ERROR_NO_MORE_ITEMS;  // no hive yet
  if (resolved != ERROR_SUCCESS) return resolved;
  if ((ref.access & KEY_ENUMERATE_SUB_KEYS) == 0) return ERROR_ACCESS_DENIED;
  if (!ref.hive->HasSchema()) return ERROR_NO_MORE_ITEMS;
  StatementUse use(ref.hive->Get(kEnumKey));
  if (use.get() == nullptr) return ERROR_BADDB;
  sqlite3_bind_int64(use.get(), 1, ref.id);
  sqlite3_bind_int64(use.get(), 2, static_cast<sqlite3_int64>(index));
  int rc = sqlite3_step(use.get());
  if (rc == SQLITE_DONE) return ERROR_NO_MORE_ITEMS;
  if (rc != SQLITE_ROW) return FromSqlite(rc);
  std::string keyName = ColumnBytes(use.get(), 0);
  std::string cls = ColumnBytes(use.get(), 1);
  // Names are C strings: anything after a stray zero byte does not count.
  keyName.resize(std::strlen(keyName.c_str()));
  cls.resize(std::strlen(cls.c_str()));
  LONG fits = FitName(keyName, nameSize);
  if (keyClass != nullptr && FitName(cls, classSize) != ERROR_SUCCESS) fits = ERROR_MORE_DATA;
  if (fits != ERROR_SUCCESS) return fits;
  std::memcpy(name, keyName.c_str(), keyName.size() + 1);
  *nameSize = static_cast<DWORD>(keyName.size());
  if (keyClass != nullptr) {
    std::memcpy(keyClass, cls.c_str(), cls.size() + 1);
    *classSize = static_cast<DWORD>(cls.size());
  } else if (classSize != nullptr) {
    *classSize = static_cast<DWORD>(cls.size());
  }
  if (lastWriteTime != nullptr) *lastWriteTime = FILETIME{0, 0};
  return ERROR_SUCCESS;
}

LONG RegEnumValueA(HKEY key, DWORD index, char* valueName, DWORD* valueNameSize, DWORD* reserved, DWORD* type,
                   BYTE* data, DWORD* dataSize) {
  if (valueName == nullptr || valueNameSize == nullptr || reserved != nullptr) return ERROR_INVALID_PARAMETER;
  if (data != nullptr && dataSize == nullptr) return ERROR_INVALID_PARAMETER;
  KeyRef ref;
  LONG resolved = Resolve(key, false, ref);
  if (resolved == ERROR_FILE_NOT_FOUND && ref.id == 0) return ERROR_NO_MORE_ITEMS;
  if (resolved != ERROR_SUCCESS) return resolved;
  if ((ref.access & KEY_QUERY_VALUE) == 0) return ERROR_ACCESS_DENIED;
  if (!ref.hive->HasSchema()) return ERROR_NO_MORE_ITEMS;
  StatementUse use(ref.hive->Get(kEnumValue));
  if (use.get() == nullptr) return ERROR_BADDB;
  sqlite3_bind_int64(use.get(), 1, ref.id);
  sqlite3_bind_int64(use.get(), 2, static_cast<sqlite3_int64>(index));
  int rc = sqlite3_step(use.get());
  if (rc == SQLITE_DONE) return ERROR_NO_MORE_ITEMS;
  if (rc != SQLITE_ROW) return FromSqlite(rc);
  std::string name = ColumnBytes(use.get(), 0);
  name.resize(std::strlen(name.c_str()));
  DWORD storedType = static_cast<DWORD>(sqlite3_column_int64(use.get(), 1));
  const void* bytes = sqlite3_column_blob(use.get(), 2);
  DWORD size = static_cast<DWORD>(sqlite3_column_bytes(use.get(), 2));
  LONG fits = FitName(name, valueNameSize);
  if (data != nullptr && size > *dataSize) {
    *dataSize = size;
    fits = ERROR_MORE_DATA;
  }
  if (fits != ERROR_SUCCESS) return fits;
  std::memcpy(valueName, name.c_str(), name.size() + 1);
  *valueNameSize = static_cast<DWORD>(name.size());
  if (type != nullptr) *type = storedType;
  if (data != nullptr && size > 0 && bytes != nullptr) std::memcpy(data, bytes, size);
  if (dataSize != nullptr) *dataSize = size;
  return ERROR_SUCCESS;
}

LONG RegCloseKey(HKEY key) {
  if (IsRoot(key)) return ERROR_SUCCESS;
  PelixRegKey* handle = nullptr;
  {
    State& state = TheState();
    std::lock_guard<std::mutex> lock(state.mutex);
    auto it = state.handles.find(key);
    if (it == state.handles.end()) return ERROR_INVALID_HANDLE;
    handle = *it;
    state.handles.erase(it);
  }
  // The hive's last reference may go with the handle; its connection must not
  // be closed while another thread uses it, which the hive's mutex ensures.
  delete handle;
  return ERROR_SUCCESS;
}
