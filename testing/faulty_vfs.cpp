#include "testing/faulty_vfs.h"

namespace quorvo::testing {
namespace {

// Our file: the methods, then the real layer's file right after.
struct FaultyFile {
  sqlite3_file base;
  FaultyVfs* owner;
  sqlite3_file* real() { return reinterpret_cast<sqlite3_file*>(this + 1); }
};

FaultyFile* Of(sqlite3_file* file) { return reinterpret_cast<FaultyFile*>(file); }
sqlite3_file* Real(sqlite3_file* file) { return Of(file)->real(); }

int Close(sqlite3_file* f) { return Real(f)->pMethods ? Real(f)->pMethods->xClose(Real(f)) : SQLITE_OK; }
int Read(sqlite3_file* f, void* buffer, int amount, sqlite3_int64 offset) {
  return Real(f)->pMethods->xRead(Real(f), buffer, amount, offset);
}
int Write(sqlite3_file* f, const void* buffer, int amount, sqlite3_int64 offset) {
  if (!Of(f)->owner->TakeBudget(amount)) return SQLITE_FULL;
  return Real(f)->pMethods->xWrite(Real(f), buffer, amount, offset);
}
int Truncate(sqlite3_file* f, sqlite3_int64 size) { return Real(f)->pMethods->xTruncate(Real(f), size); }
int Sync(sqlite3_file* f, int flags) { return Real(f)->pMethods->xSync(Real(f), flags); }
int FileSize(sqlite3_file* f, sqlite3_int64* size) { return Real(f)->pMethods->xFileSize(Real(f), size); }
int Lock(sqlite3_file* f, int level) { return Real(f)->pMethods->xLock(Real(f), level); }
int Unlock(sqlite3_file* f, int level) { return Real(f)->pMethods->xUnlock(Real(f), level); }
int CheckReservedLock(sqlite3_file* f, int* out) { return Real(f)->pMethods->xCheckReservedLock(Real(f), out); }
int FileControl(sqlite3_file* f, int op, void* arg) { return Real(f)->pMethods->xFileControl(Real(f), op, arg); }
int SectorSize(sqlite3_file* f) { return Real(f)->pMethods->xSectorSize(Real(f)); }
int DeviceCharacteristics(sqlite3_file* f) { return Real(f)->pMethods->xDeviceCharacteristics(Real(f)); }
int ShmMap(sqlite3_file* f, int region, int size, int extend, void volatile** out) {
  return Real(f)->pMethods->xShmMap(Real(f), region, size, extend, out);
}
int ShmLock(sqlite3_file* f, int offset, int n, int flags) {
  return Real(f)->pMethods->xShmLock(Real(f), offset, n, flags);
}
void ShmBarrier(sqlite3_file* f) { Real(f)->pMethods->xShmBarrier(Real(f)); }
int ShmUnmap(sqlite3_file* f, int deleteFlag) { return Real(f)->pMethods->xShmUnmap(Real(f), deleteFlag); }
// Memory mapping is left out (iVersion 2): every write goes through Write.
const sqlite3_io_methods kMethods = {2,
                                     Close,
                                     Read,
                                     Write,
                                     Truncate,
                                     Sync,
                                     FileSize,
                                     Lock,
                                     Unlock,
                                     CheckReservedLock,
                                     FileControl,
                                     SectorSize,
                                     DeviceCharacteristics,
                                     ShmMap,
                                     ShmLock,
                                     ShmBarrier,
                                     ShmUnmap,
                                     nullptr,
                                     nullptr};

sqlite3_vfs* RealOf(sqlite3_vfs* vfs) { return static_cast<sqlite3_vfs*>(vfs->pAppData); }

}  // namespace

// The record SQLite was given is the first member of FaultyVfs::Registered.
FaultyVfs* FaultyVfs::OwnerOf(sqlite3_vfs* vfs) { return reinterpret_cast<Registered*>(vfs)->owner; }

namespace {

int Open(sqlite3_vfs* vfs, sqlite3_filename name, sqlite3_file* file, int flags, int* outFlags) {
  auto* ours = Of(file);
  ours->base.pMethods = nullptr;
  ours->owner = nullptr;
  sqlite3_vfs* real = RealOf(vfs);
  FaultyVfs* owner = FaultyVfs::OwnerOf(vfs);
  if (owner->ReadOnly() && (flags & SQLITE_OPEN_MAIN_DB)) {
    flags &= ~(SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE);
    flags |= SQLITE_OPEN_READONLY;
  }
  int rc = real->xOpen(real, name, ours->real(), flags, outFlags);
  if (rc != SQLITE_OK) return rc;
  ours->owner = owner;
  ours->base.pMethods = &kMethods;
  return SQLITE_OK;
}

int Delete(sqlite3_vfs* vfs, const char* name, int syncDir) { return RealOf(vfs)->xDelete(RealOf(vfs), name, syncDir); }
int Access(sqlite3_vfs* vfs, const char* name, int flags, int* out) {
  return RealOf(vfs)->xAccess(RealOf(vfs), name, flags, out);
}
int FullPathname(sqlite3_vfs* vfs, const char* name, int size, char* out) {
  return RealOf(vfs)->xFullPathname(RealOf(vfs), name, size, out);
}
void* DlOpen(sqlite3_vfs* vfs, const char* name) { return RealOf(vfs)->xDlOpen(RealOf(vfs), name); }
void DlError(sqlite3_vfs* vfs, int n, char* out) { RealOf(vfs)->xDlError(RealOf(vfs), n, out); }
void (*DlSym(sqlite3_vfs* vfs, void* handle, const char* symbol))(void) {
  return RealOf(vfs)->xDlSym(RealOf(vfs), handle, symbol);
}
void DlClose(sqlite3_vfs* vfs, void* handle) { RealOf(vfs)->xDlClose(RealOf(vfs), handle); }
int Randomness(sqlite3_vfs* vfs, int n, char* out) { return RealOf(vfs)->xRandomness(RealOf(vfs), n, out); }
int Sleep(sqlite3_vfs* vfs, int micros) { return RealOf(vfs)->xSleep(RealOf(vfs), micros); }
int CurrentTime(sqlite3_vfs* vfs, double* out) { return RealOf(vfs)->xCurrentTime(RealOf(vfs), out); }
int GetLastError(sqlite3_vfs* vfs, int n, char* out) { return RealOf(vfs)->xGetLastError(RealOf(vfs), n, out); }
int CurrentTimeInt64(sqlite3_vfs* vfs, sqlite3_int64* out) { return RealOf(vfs)->xCurrentTimeInt64(RealOf(vfs), out); }

}  // namespace

FaultyVfs::FaultyVfs() : real_(sqlite3_vfs_find(nullptr)) {
  registered_.owner = this;
  sqlite3_vfs& vfs_ = registered_.vfs;
  vfs_.iVersion = 2;
  vfs_.szOsFile = static_cast<int>(sizeof(FaultyFile)) + real_->szOsFile;
  vfs_.mxPathname = real_->mxPathname;
  vfs_.zName = "quorvo-faulty";
  vfs_.pAppData = real_;
  vfs_.xOpen = Open;
  vfs_.xDelete = Delete;
  vfs_.xAccess = Access;
  vfs_.xFullPathname = FullPathname;
  vfs_.xDlOpen = DlOpen;
  vfs_.xDlError = DlError;
  vfs_.xDlSym = DlSym;
  vfs_.xDlClose = DlClose;
  vfs_.xRandomness = Randomness;
  vfs_.xSleep = Sleep;
  vfs_.xCurrentTime = CurrentTime;
  vfs_.xGetLastError = GetLastError;
  vfs_.xCurrentTimeInt64 = CurrentTimeInt64;
  sqlite3_vfs_register(&vfs_, 1);
}

FaultyVfs::~FaultyVfs() {
  sqlite3_vfs_unregister(&registered_.vfs);
  sqlite3_vfs_register(real_, 1);
}

bool FaultyVfs::TakeBudget(int64_t bytes) {
  int64_t left = budget_.load();
  while (left >= 0) {
    if (left < bytes) {
      fullWrites_.fetch_add(1);
      return false;
    }
    if (budget_.compare_exchange_weak(left, left - bytes)) return true;
  }
  return true;
}

}  // namespace quorvo::testing
