#include "platform/sim/machine.h"

#include "platform/sim/host_file.h"

#include <fstream>

#include "platform/sim/reg_file.h"
#include "platform/sim/registry_util.h"
#include "platform/text.h"

namespace fs = std::filesystem;

namespace zc::sim {

SimMachine::SimMachine(fs::path folder, MachineConfig config) : folder_(std::move(folder)), config_(std::move(config)) {
  config_.ApplyDefaults();
  for (const auto& rule : config_.faults) faults_.Add(rule);
  for (const auto& path : config_.lockedFiles) {
    faults_.Add(FaultRule{FaultOp::kDeleteFile, path, err::kSharingViolation, -1});
  }
}

SimMachine::~SimMachine() = default;

void SimMachine::Wire() {
  toolRegistry_ = std::make_unique<SimRegistry>(store_, config_.bits == 64, &faults_);
  nativeRegistry_ = std::make_unique<SimRegistry>(store_, false, nullptr);
  fs_ = std::make_unique<SimFileSystem>(
      folder_, [this] { return config_.currentDirectory; }, &faults_);
  fs_->SetScheduleDeleteHandler([this](const std::wstring& path) { ScheduleDelete(path); });
  system_ = std::make_unique<SimSystemInfo>(config_, &faults_);
  msi_ = std::make_unique<MsiRegistration>(*nativeRegistry_, *fs_, config_.bits == 64, config_.user);
  installer_ = std::make_unique<SimWindowsInstaller>(*nativeRegistry_, config_.user, &faults_);
  processes_ = std::make_unique<SimProcesses>(*msi_, *fs_, config_, &faults_);
  spooler_ = std::make_unique<SimSpooler>(*nativeRegistry_, config_.windowsFolder, config_.bits == 64, &faults_);
  services_ = std::make_unique<SimServiceManager>(*nativeRegistry_, config_, &faults_);
  power_ = std::make_unique<SimPower>(config_.shutdownPrivilege, &faults_);
  ui_ = std::make_unique<SimUserInterface>(&faults_);
  ui_->SetDesktopVisible(config_.desktopVisible);
}

std::unique_ptr<SimMachine> SimMachine::Load(const fs::path& folder, std::string* error) {
  std::error_code ec;
  if (!fs::is_directory(folder, ec)) {
    if (error) *error = folder.string() + ": not a machine folder";
    return nullptr;
  }
  // Any folder is no machine: one is a registry first of all.
  if (!fs::exists(fs::symlink_status(folder / kRegistryFile, ec))) {
    if (error) *error = folder.string() + ": not a machine folder (it holds no " + kRegistryFile + ")";
    return nullptr;
  }
  MachineConfig config;
  // Whatever is in machine.ini's place is read: a link, a FIFO, a device or
  // a folder there is refused by name, never waited on or taken for none.
  if (fs::symlink_status(folder / kConfigFile, ec).type() != fs::file_type::not_found) {
    ConfigError configError;
    if (!LoadMachineConfig(folder / kConfigFile, &config, &configError)) {
      if (error) *error = configError.ToString();
      return nullptr;
    }
  }
  std::unique_ptr<SimMachine> machine(new SimMachine(folder, std::move(config)));
  // Whatever is in registry.reg's place is read, so that a link, a FIFO or
  // a folder there is refused rather than taken for an empty registry.
  if (fs::symlink_status(folder / kRegistryFile, ec).type() != fs::file_type::not_found) {
    if (auto regError = LoadRegFile(folder / kRegistryFile, machine->store_, &machine->registryFormat_)) {
      if (error) *error = regError->ToString();
      return nullptr;
    }
    if (!machine->BindCurrentUser(error)) return nullptr;
    machine->registrySavedAt_ = machine->store_.changes();
  } else {
    machine->BindCurrentUser(nullptr);
  }
  machine->Wire();
  std::string attributeError;
  if (!machine->fs_->LoadAttributes(folder / kAttributesFile, &attributeError)) {
    if (error) *error = attributeError;
    return nullptr;
  }
  return machine;
}

std::unique_ptr<SimMachine> SimMachine::Create(const fs::path& folder, MachineConfig config) {
  std::error_code ec;
  fs::create_directories(folder / "drive_c", ec);
  std::unique_ptr<SimMachine> machine(new SimMachine(folder, std::move(config)));
  machine->BindCurrentUser(nullptr);
  machine->Wire();
  return machine;
}

bool SimMachine::BindCurrentUser(std::string* error) {
  std::wstring conflict;
  if (store_.BindCurrentUser(config_.CurrentUserKey(), &conflict)) return true;
  if (error) {
    *error = (folder_ / kRegistryFile).string() + ": HKEY_CURRENT_USER is HKEY_USERS\\" +
             ToUtf8(config_.CurrentUserKey()) + ", and the two give different data for " + ToUtf8(conflict);
  }
  return false;
}

std::unique_ptr<SimMachine> SimMachine::OverVolume(const fs::path& workFolder, const fs::path& driveC,
                                                   MachineConfig config, RegStore registry) {
  std::unique_ptr<SimMachine> machine(new SimMachine(workFolder, std::move(config)));
  machine->store_ = std::move(registry);
  machine->BindCurrentUser(nullptr);
  machine->registrySavedAt_ = machine->store_.changes();
  machine->Wire();
  // The volume is never written: its drive refuses every change, and what
  // the tool writes (its log) goes to the work folder.
  machine->fs_->MapDrive(L'C', driveC, /*writeProtected=*/true);
  machine->fs_->RedirectOutputFiles(workFolder);
  machine->overVolume_ = true;
  return machine;
}

Platform SimMachine::platform() {
  return Platform{*toolRegistry_, *installer_, *fs_, *system_, *processes_, *spooler_, *services_, *power_, *ui_};
}

void SimMachine::ScheduleDelete(const std::wstring& path) {
  // As MoveFileEx records it: source, empty target, and the list's end.
  std::vector<std::uint8_t> data;
  if (auto existing =
          ReadValue(*nativeRegistry_, kHkeyLocalMachine, kPendingRenamesKey, L"PendingFileRenameOperations")) {
    data = existing->data;
    if (data.size() >= 2) data.resize(data.size() - 2);  // drop the list's final NUL
  }
  const auto entry = TextBytes(L"\\??\\" + path);
  data.insert(data.end(), entry.begin(), entry.end());
  data.insert(data.end(), {0, 0, 0, 0});
  WriteValue(*nativeRegistry_, kHkeyLocalMachine, kPendingRenamesKey, L"PendingFileRenameOperations", regtype::kMultiSz,
             data);
}

std::vector<std::wstring> SimMachine::PendingDeletes() {
  std::vector<std::wstring> paths;
  auto value = ReadValue(*nativeRegistry_, kHkeyLocalMachine, kPendingRenamesKey, L"PendingFileRenameOperations");
  if (!value) return paths;
  const std::wstring all = FromUtf16Le(value->data.data(), value->data.size());
  // Pairs of source and target; an empty target means deletion.
  std::size_t pos = 0;
  while (pos < all.size()) {
    const std::size_t sourceEnd = all.find(L'\0', pos);
    if (sourceEnd == std::wstring::npos || sourceEnd == pos) break;
    const std::wstring source = all.substr(pos, sourceEnd - pos);
    const std::size_t targetEnd = all.find(L'\0', sourceEnd + 1);
    if (targetEnd == std::wstring::npos) break;
    if (targetEnd == sourceEnd + 1) paths.push_back(source.rfind(L"\\??\\", 0) == 0 ? source.substr(4) : source);
    pos = targetEnd + 1;
  }
  return paths;
}

bool SimMachine::Save(std::string* error) {
  if (overVolume_) {
    if (error) *error = "a Windows volume is read, never written";
    return false;
  }
  if (registrySavedAt_ != store_.changes()) {
    if (auto regError = SaveRegFile(folder_ / kRegistryFile, store_, registryFormat_, &registryFormat_)) {
      if (error) *error = regError->ToString();
      return false;
    }
    registrySavedAt_ = store_.changes();
  }
  if (!fs_->SaveAttributes(folder_ / kAttributesFile, error)) return false;
  if (power_->restartRequested()) {
    // Replaced, never written through: a link in its place stays a link's target untouched.
    const std::string marker = "A restart was requested by the last run.\n";
    if (auto e = ReplaceHostFile(folder_ / kRestartMarkerFile,
                                 std::span(reinterpret_cast<const std::uint8_t*>(marker.data()), marker.size()))) {
      if (error) *error = e->ToString();
      return false;
    }
  }
  return true;
}

}  // namespace zc::sim
