#include "versions/CheckpointStore.h"

#include "process/ProcessEnvironment.h"
#include "support/Files.h"
#include "support/GObjectPtr.h"
#include "support/Subprocess.h"
#include "support/Text.h"
#include "support/Translate.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <glib.h>
#include <map>
#include <set>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace tarn {

namespace {

// Dependency and build folders: never part of a checkpoint, whatever the project ignores.
const char* const kExcluded =
    "node_modules/\n"
    ".next/\n"
    ".nuxt/\n"
    ".svelte-kit/\n"
    ".turbo/\n"
    ".vercel/\n"
    ".parcel-cache/\n"
    ".cache/\n"
    "dist/\n"
    "/.tarn/\n"
    "/.output/\n"
    "/build/\n"
    "/out/\n"
    "/coverage/\n";

// Where a project remembers which store is its own, so that it is found after a move.
constexpr const char* kIdFile = ".tarn/checkpoints-id";
// Inside a store: the project it belongs to.
constexpr const char* kRootFile = "tarn-root";

// git's reason: its error lines without their "error:"/"fatal:" tags, bounded.
std::string reasonFrom(const std::string& stderrText, int status) {
    std::vector<std::string> parts;
    for (auto line : text::splitLines(stderrText)) {
        line = text::trim(line);
        for (const char* tag : {"error: ", "fatal: ", "warning: "}) {
            if (text::startsWith(line, tag)) line = line.substr(std::strlen(tag));
        }
        if (!line.empty()) parts.push_back(line);
    }
    if (parts.empty()) return tr::format(_("git ended with status %1."), {std::to_string(status)});
    return text::graphemePrefix(text::join(parts, "; "), 400);
}

// NUL-separated fields, the empty last one dropped.
std::vector<std::string> splitNul(const std::string& s) {
    std::vector<std::string> out;
    std::size_t start = 0;
    while (start < s.size()) {
        std::size_t end = s.find('\0', start);
        if (end == std::string::npos) end = s.size();
        out.push_back(s.substr(start, end - start));
        start = end + 1;
    }
    return out;
}

// The version (branch) the project's own repository is on, read from its HEAD without running
// git in it; empty outside git.
std::string currentBranch(const fs::path& root) {
    std::error_code ec;
    fs::path gitDir = root / ".git";
    try {
        if (fs::is_regular_file(gitDir, ec)) {
            std::string link = text::trim(files::readFile(gitDir, 4096));
            if (!text::startsWith(link, "gitdir: ")) return "";
            fs::path target = link.substr(8);
            gitDir = target.is_absolute() ? target : root / target;
        }
        std::string head = text::trim(files::readFile(gitDir / "HEAD", 4096));
        if (text::startsWith(head, "ref: refs/heads/")) return head.substr(16);
        return head.size() >= 7 ? head.substr(0, 7) : head;
    } catch (const std::exception&) {
        return "";
    }
}

std::string hexDigest(const std::string& data) {
    GCharPtr sum(g_compute_checksum_for_string(G_CHECKSUM_SHA256, data.c_str(), static_cast<gssize>(data.size())));
    return std::string(sum.get()).substr(0, 16);
}

// A folder name for the store: the project's name (letters and digits) and a digest of its path.
std::string storeName(const fs::path& root) {
    std::string name;
    for (char c : root.filename().string()) {
        if (std::isalnum(static_cast<unsigned char>(c)) || c == '-' || c == '_') name += c;
        if (name.size() >= 32) break;
    }
    return (name.empty() ? std::string("project") : name) + "-" + hexDigest(root.string());
}

std::optional<std::string> readSmall(const fs::path& path) {
    try {
        return text::trim(files::readFile(path, 4096));
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

long long millisecondsOf(std::chrono::system_clock::time_point t) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(t.time_since_epoch()).count();
}

// Removes the empty folders left above a removed file, up to the root.
void removeEmptyParents(fs::path folder, const fs::path& root) {
    while (folder != root && folder.string().size() > root.string().size()) {
        if (::rmdir(folder.c_str()) != 0) return;
        folder = folder.parent_path();
    }
}

// True when a folder on the way to `path` (inside `root`) is a symbolic link or not a folder:
// writing through it could land outside the project.
bool pathCrossesALink(const fs::path& root, const std::string& relative) {
    fs::path at = root;
    fs::path rel(relative);
    for (auto it = rel.begin(); it != rel.end(); ++it) {
        if (std::next(it) == rel.end()) break;
        at /= *it;
        struct stat st {};
        if (::lstat(at.c_str(), &st) != 0) return false;  // missing: created as a folder
        if (!S_ISDIR(st.st_mode)) return true;
    }
    return false;
}

}  // namespace

fs::path CheckpointStore::defaultFolder() { return files::userFolder("XDG_DATA_HOME", ".local/share") / "checkpoints"; }

std::shared_ptr<CheckpointStore> CheckpointStore::open(const fs::path& projectRoot, const fs::path& storesFolder) {
    std::error_code ec;
    const fs::path root = fs::canonical(projectRoot, ec);
    if (ec) throw CheckpointError(tr::format(_("Could not read “%1”: %2"), {projectRoot.string(), ec.message()}));

    // A store named in the project is its own if it belongs to no other project still on disk:
    // the project was moved, or is where it was.
    std::optional<fs::path> store;
    if (auto id = readSmall(root / kIdFile); id && !id->empty() && id->find('/') == std::string::npos && *id != "..") {
        fs::path named = storesFolder / *id;
        auto owner = readSmall(named / kRootFile);
        if (owner && (*owner == root.string() || !files::exists(fs::path(*owner) / kIdFile) ||
                      readSmall(fs::path(*owner) / kIdFile) != id)) {
            store = named;
        }
    }
    // Otherwise the one named after its path, unless that one belongs to a copy's original.
    for (int attempt = 0; !store; ++attempt) {
        fs::path named = storesFolder / storeName(attempt == 0 ? root : fs::path(root.string() + "#" + std::to_string(attempt)));
        auto owner = readSmall(named / kRootFile);
        if (!owner || *owner == root.string() || readSmall(fs::path(*owner) / kIdFile) != named.filename().string()) store = named;
    }

    // One object per store in the process, so that its operations are serialised.
    static std::mutex openLock;
    static std::map<std::string, std::weak_ptr<CheckpointStore>> open;
    std::lock_guard guard(openLock);
    std::shared_ptr<CheckpointStore> opened = open[store->string()].lock();
    if (opened && opened->root_ != root) opened.reset();
    if (!opened) {
        opened = std::shared_ptr<CheckpointStore>(new CheckpointStore(root, *store));
        open[store->string()] = opened;
    }
    try {
        files::createDirectories(*store);
        if (!files::exists(*store / "HEAD")) opened->initialise();
        if (readSmall(*store / kRootFile) != root.string()) files::writeAtomically(*store / kRootFile, root.string() + "\n");
        if (readSmall(root / kIdFile) != store->filename().string()) {
            files::createDirectories(root / ".tarn");
            files::writeAtomically(root / kIdFile, store->filename().string() + "\n");
        }
        files::writeAtomically(*store / "info" / "exclude", kExcluded);
    } catch (const CheckpointError&) {
        throw;
    } catch (const std::exception& e) {
        throw CheckpointError(e.what());
    }
    return opened;
}

void CheckpointStore::initialise() const {
    git({"init", "-q"}, _("Could not create the checkpoint store"));
    // Nothing of the user's git settings applies (see run()); these make records plain copies.
    for (auto [key, value] : std::vector<std::pair<const char*, const char*>>{{"core.bare", "false"},
                                                                               {"core.autocrlf", "false"},
                                                                               {"core.safecrlf", "false"},
                                                                               {"core.untrackedCache", "true"},
                                                                               {"core.quotePath", "false"},
                                                                               {"index.version", "4"},
                                                                               {"gc.autoDetach", "false"},
                                                                               {"advice.addEmbeddedRepo", "false"}}) {
        git({"config", key, value}, _("Could not create the checkpoint store"));
    }
    files::createDirectories(store_ / "info");
}

CheckpointStore::Output CheckpointStore::run(std::vector<std::string> arguments) const {
    ChildOptions options;
    options.arguments = {"/usr/bin/git"};
    options.arguments.insert(options.arguments.end(), arguments.begin(), arguments.end());
    options.workingDirectory = root_.string();
    // The store and the project's files, and none of the user's git configuration or of any
    // repository the environment names.
    for (auto& [name, value] : ProcessEnvironment::augmentedEnvironment()) {
        if (!text::startsWith(name, "GIT_")) options.environment[name] = value;
    }
    options.environment["GIT_DIR"] = store_.string();
    options.environment["GIT_WORK_TREE"] = root_.string();
    options.environment["GIT_INDEX_FILE"] = (store_ / "index").string();
    options.environment["GIT_CONFIG_NOSYSTEM"] = "1";
    options.environment["GIT_CONFIG_GLOBAL"] = "/dev/null";
    options.environment["GIT_LITERAL_PATHSPECS"] = "1";
    options.environment["GIT_TERMINAL_PROMPT"] = "0";
    options.environment["GIT_AUTHOR_NAME"] = options.environment["GIT_COMMITTER_NAME"] = "Tarn";
    options.environment["GIT_AUTHOR_EMAIL"] = options.environment["GIT_COMMITTER_EMAIL"] = "tarn@localhost";
    options.environment["LC_ALL"] = "C";
    CollectedOutput out;
    try {
        out = runToEnd(options);
    } catch (const std::exception& e) {
        throw CheckpointError(tr::format(_("git could not run: %1"), {e.what()}));
    }
    return Output{std::move(out.stdoutBytes), std::move(out.stderrBytes), out.status};
}

std::string CheckpointStore::git(std::vector<std::string> arguments, const std::string& doing) const {
    Output out = run(std::move(arguments));
    if (out.status != 0) throw CheckpointError(doing + ": " + reasonFrom(out.err, out.status));
    return std::move(out.out);
}

Checkpoint CheckpointStore::record(const std::string& label, const std::optional<std::string>& since) {
    std::lock_guard guard(lock_);
    const std::string doing = _("Could not save a checkpoint");
    Checkpoint checkpoint;
    checkpoint.time = std::chrono::time_point_cast<std::chrono::milliseconds>(std::chrono::system_clock::now());
    checkpoint.label = text::graphemePrefix(text::trim(label), 500);
    checkpoint.branch = currentBranch(root_);
    // The index keeps each file's size and time, so only files changed since the last record are read.
    git({"add", "-A", "--", "."}, doing);
    checkpoint.tree = text::trim(git({"write-tree"}, doing));
    if (since) {
        for (const auto& change : changes(*since, checkpoint.tree)) checkpoint.files.push_back(change.path);
    }
    std::string message = (checkpoint.label.empty() ? std::string("-") : checkpoint.label) + "\n\n";
    message += "Tarn-Time: " + std::to_string(millisecondsOf(checkpoint.time)) + "\n";
    message += "Tarn-Branch: " + checkpoint.branch + "\n";
    for (const auto& file : checkpoint.files) message += "Tarn-File: " + file + "\n";
    const std::string commit = text::trim(git({"commit-tree", checkpoint.tree, "-m", message}, doing));
    char id[40];
    std::snprintf(id, sizeof id, "%013lld-%04d", millisecondsOf(checkpoint.time), ++sequence_ % 10000);
    checkpoint.id = id;
    // A loose ref is the commit's name on a line; written directly, it saves a process per record.
    try {
        files::createDirectories(store_ / "refs" / "checkpoints");
        files::writeAtomically(store_ / "refs" / "checkpoints" / checkpoint.id, commit + "\n");
    } catch (const std::exception& e) {
        throw CheckpointError(doing + ": " + e.what());
    }
    return checkpoint;
}

std::vector<Checkpoint> CheckpointStore::list() const {
    std::lock_guard guard(lock_);
    const std::string out = git({"for-each-ref", "--sort=-refname", "--format=%(refname:lstrip=2)%1f%(tree)%1f%(contents)%1e",
                                 "refs/checkpoints/"},
                                _("Could not list the checkpoints"));
    std::vector<Checkpoint> checkpoints;
    for (const auto& record : text::split(out, '\x1e', true)) {
        auto fields = text::split(text::trim(record), '\x1f', false);
        if (fields.size() < 3) continue;
        Checkpoint c;
        c.id = fields[0];
        c.tree = fields[1];
        auto lines = text::splitLines(fields[2]);
        if (!lines.empty()) c.label = lines.front() == "-" ? "" : lines.front();
        for (const auto& line : lines) {
            if (text::startsWith(line, "Tarn-Time: ")) {
                c.time = std::chrono::system_clock::time_point(std::chrono::milliseconds(std::atoll(line.c_str() + 11)));
            } else if (text::startsWith(line, "Tarn-Branch: ")) {
                c.branch = line.substr(13);
            } else if (text::startsWith(line, "Tarn-File: ")) {
                c.files.push_back(line.substr(11));
            }
        }
        checkpoints.push_back(std::move(c));
    }
    return checkpoints;
}

std::vector<FileChange> CheckpointStore::changes(const std::string& from, const std::string& to) const {
    std::vector<FileChange> result;
    if (from == to) return result;
    // Per file ":<mode> <mode> <sha> <sha> <status>\0<path>\0", then per file
    // "<added>\t<removed>\t<path>\0" (with "-" for both when it is binary), in the same order.
    auto fields = splitNul(git({"diff-tree", "-r", "-z", "--no-renames", "--raw", "--numstat", from, to},
                               _("Could not compare the checkpoints")));
    std::size_t i = 0;
    for (; i + 1 < fields.size() && text::startsWith(fields[i], ":"); i += 2) {
        FileChange change;
        const char status = fields[i].back();
        change.kind = status == 'A' ? FileChange::Kind::added : status == 'D' ? FileChange::Kind::deleted : FileChange::Kind::modified;
        change.path = fields[i + 1];
        result.push_back(std::move(change));
    }
    for (std::size_t n = 0; i < fields.size() && n < result.size(); ++i, ++n) {
        auto counts = text::split(fields[i], '\t', false);
        if (counts.size() < 3) continue;
        FileChange& change = result[n];
        change.binary = counts[0] == "-";
        change.addedLines = change.binary ? 0 : std::atoi(counts[0].c_str());
        change.removedLines = change.binary ? 0 : std::atoi(counts[1].c_str());
    }
    return result;
}

std::string CheckpointStore::diff(const std::string& from, const std::string& to, const std::string& path) const {
    return git({"diff-tree", "-p", "--no-color", "--no-renames", "--no-ext-diff", from, to, "--", path},
               _("Could not compare the checkpoints"));
}

CheckpointStore::Applied CheckpointStore::apply(const std::string& from, const std::string& to, const std::string& present,
                                                bool overwrite) {
    std::lock_guard guard(lock_);
    const std::string doing = _("Could not restore the files");
    auto names = [&](const std::string& a, const std::string& b) {
        std::set<std::string> set;
        if (a == b) return set;
        for (auto& p : splitNul(git({"diff-tree", "-r", "-z", "--no-renames", "--name-only", a, b}, doing))) set.insert(p);
        return set;
    };
    const std::set<std::string> changedSince = overwrite ? std::set<std::string>{} : names(from, present);
    const std::set<std::string> alreadyThere = names(present, to);

    Applied applied;
    auto raw = splitNul(git({"diff-tree", "-r", "-z", "--no-renames", "--raw", from, to}, doing));
    for (std::size_t i = 0; i + 1 < raw.size(); i += 2) {
        // ":<from mode> <to mode> <from sha> <to sha> <status>"
        auto fields = text::split(raw[i].substr(1), ' ', true);
        const std::string& path = raw[i + 1];
        if (fields.size() < 5) continue;
        const std::string& mode = fields[1];
        const std::string& blob = fields[3];
        if (!alreadyThere.contains(path)) {
            applied.restored.push_back(path);
            continue;
        }
        if (changedSince.contains(path) || mode == "160000" || pathCrossesALink(root_, path)) {
            applied.left.push_back(path);
            continue;
        }
        const fs::path target = root_ / path;
        try {
            if (mode == "000000") {
                if (::unlink(target.c_str()) != 0 && errno != ENOENT) {
                    throw CheckpointError(tr::format(_("Could not remove “%1”: %2"), {path, std::strerror(errno)}));
                }
                removeEmptyParents(target.parent_path(), root_);
            } else {
                const std::string contents = git({"cat-file", "blob", blob}, doing);
                files::createDirectories(target.parent_path());
                struct stat st {};
                const bool exists = ::lstat(target.c_str(), &st) == 0;
                if (mode == "120000") {
                    // A link is replaced whole: a new one beside it, renamed over it.
                    const fs::path temp = target.parent_path() / ("." + target.filename().string() + ".tarn-link");
                    ::unlink(temp.c_str());
                    if (::symlink(contents.c_str(), temp.c_str()) != 0 || ::rename(temp.c_str(), target.c_str()) != 0) {
                        int error = errno;
                        ::unlink(temp.c_str());
                        throw CheckpointError(tr::format(_("Could not write “%1”: %2"), {path, std::strerror(error)}));
                    }
                } else {
                    if (exists && (S_ISLNK(st.st_mode) || S_ISDIR(st.st_mode))) {
                        if (S_ISDIR(st.st_mode)) {
                            applied.left.push_back(path);
                            continue;
                        }
                        ::unlink(target.c_str());
                    }
                    files::writeAtomically(target, contents);
                    // git knows two modes; the file keeps the rest of its own.
                    struct stat now {};
                    if (::stat(target.c_str(), &now) == 0) {
                        mode_t bits = now.st_mode & 07777;
                        const mode_t exec = (bits & 0444) >> 2;
                        mode_t wanted = mode == "100755" ? (bits | exec) : (bits & ~0111);
                        if (wanted != bits) ::chmod(target.c_str(), wanted);
                    }
                }
            }
            applied.restored.push_back(path);
        } catch (const CheckpointError&) {
            throw;
        } catch (const std::exception& e) {
            throw CheckpointError(e.what());
        }
    }
    return applied;
}

int CheckpointStore::prune(std::chrono::system_clock::duration age) {
    std::vector<Checkpoint> all = list();
    std::lock_guard guard(lock_);
    const auto cutoff = std::chrono::system_clock::now() - age;
    int removed = 0;
    for (const auto& c : all) {
        if (c.time >= cutoff) continue;
        git({"update-ref", "-d", "refs/checkpoints/" + c.id}, _("Could not remove old checkpoints"));
        ++removed;
    }
    // Contents written within the last day may belong to a record being made. Loose contents
    // are packed once there are many (the first record of a large project leaves thousands).
    if (removed > 0) git({"prune", "--expire=1.day.ago"}, _("Could not remove old checkpoints"));
    git({"gc", "--auto", "--quiet", "--prune=1.day.ago"}, _("Could not pack the checkpoints"));
    return removed;
}

}  // namespace tarn
