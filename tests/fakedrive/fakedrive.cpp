// A thumb drive for the tests, served from memory through FUSE, that can fail as cheap drives
// do. Like a real drive it keeps what is written in the kernel's page cache, so a read-back
// that only asks the cache sees the bytes that were written, not those the drive keeps.
//
//   fakedrive MOUNTPOINT --stores BYTES [--claims BYTES] [--drops-after BYTES] [--flips NAME]
//
// --stores: the bytes it really keeps; --claims: the size it reports, four times as much for
// a counterfeit drive, whose writes past what it stores wrap over the earliest ones;
// --drops-after: bytes kept before further writes are dropped without a word; --flips: a file
// of this name whose first byte always reads back changed. Unmount with fusermount3 -u.
#define FUSE_USE_VERSION 31

#include <fuse.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <map>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr long blockSize = 4096;
constexpr long hole = -2;    // never written: reads as zeros
constexpr long dropped = -1; // written, not kept: reads as zeros

struct Node
{
    bool folder = false;
    mode_t mode = 0644;
    timespec modified{};
    off_t size = 0;
    std::vector<long> blocks; // where each block of the file lies in the store
};

struct Drive
{
    std::map<std::string, Node> nodes;
    std::vector<char> store;
    long nextBlock = 0; // counts on past the end of the store, which it wraps around
    long claimed = 0;
    long dropsAfter = -1; // in blocks
    std::string flips;
} drive;

timespec now()
{
    timespec time{};
    clock_gettime(CLOCK_REALTIME, &time);
    return time;
}

Node *find(const char *path)
{
    const auto node = drive.nodes.find(path);
    return node == drive.nodes.end() ? nullptr : &node->second;
}

std::string parentOf(const std::string &path)
{
    const size_t slash = path.rfind('/');
    return slash == 0 ? "/" : path.substr(0, slash);
}

bool hasChildren(const std::string &path)
{
    const std::string prefix = path == "/" ? "/" : path + "/";
    const auto next = drive.nodes.upper_bound(prefix);
    return next != drive.nodes.end() && next->first.compare(0, prefix.size(), prefix) == 0;
}

int make(const char *path, bool folder, mode_t mode)
{
    if (find(path))
        return -EEXIST;
    const Node *parent = find(parentOf(path).c_str());
    if (!parent || !parent->folder)
        return -ENOENT;
    Node node;
    node.folder = folder;
    node.mode = mode & 07777;
    node.modified = now();
    drive.nodes[path] = node;
    return 0;
}

char *blockAt(long index)
{
    const long blocks = long(drive.store.size()) / blockSize;
    return drive.store.data() + (index % blocks) * blockSize;
}

void resize(Node *node, off_t size)
{
    node->blocks.resize(size_t((size + blockSize - 1) / blockSize), hole);
    // What lay past the end must not come back when the file grows again.
    if (size % blockSize && !node->blocks.empty() && node->blocks.back() >= 0)
        std::memset(blockAt(node->blocks.back()) + size % blockSize, 0,
                    size_t(blockSize - size % blockSize));
    node->size = size;
}

int attributes(const char *path, struct stat *st, fuse_file_info *)
{
    const Node *node = find(path);
    if (!node)
        return -ENOENT;
    *st = {};
    st->st_mode = (node->folder ? S_IFDIR : S_IFREG) | node->mode;
    st->st_nlink = node->folder ? 2 : 1;
    st->st_uid = getuid();
    st->st_gid = getgid();
    st->st_size = node->size;
    st->st_blocks = (node->size + 511) / 512;
    st->st_mtim = st->st_atim = st->st_ctim = node->modified;
    return 0;
}

int listFolder(const char *path, void *buffer, fuse_fill_dir_t fill, off_t, fuse_file_info *,
               fuse_readdir_flags)
{
    fill(buffer, ".", nullptr, 0, fuse_fill_dir_flags(0));
    fill(buffer, "..", nullptr, 0, fuse_fill_dir_flags(0));
    const std::string prefix = std::string(path) == "/" ? "/" : std::string(path) + "/";
    for (auto node = drive.nodes.upper_bound(prefix);
         node != drive.nodes.end() && node->first.compare(0, prefix.size(), prefix) == 0; ++node) {
        const std::string name = node->first.substr(prefix.size());
        if (name.find('/') == std::string::npos)
            fill(buffer, name.c_str(), nullptr, 0, fuse_fill_dir_flags(0));
    }
    return 0;
}

int makeFolder(const char *path, mode_t mode)
{
    return make(path, true, mode);
}

int createFile(const char *path, mode_t mode, fuse_file_info *)
{
    return make(path, false, mode);
}

int openFile(const char *path, fuse_file_info *)
{
    return find(path) ? 0 : -ENOENT;
}

int remove(const char *path, bool folder)
{
    const Node *node = find(path);
    if (!node)
        return -ENOENT;
    if (node->folder != folder)
        return folder ? -ENOTDIR : -EISDIR;
    if (folder && hasChildren(path))
        return -ENOTEMPTY;
    drive.nodes.erase(path);
    return 0;
}

int removeFile(const char *path)
{
    return remove(path, false);
}

int removeFolder(const char *path)
{
    return remove(path, true);
}

int renameEntry(const char *from, const char *to, unsigned int flags)
{
    if (flags & ~unsigned(RENAME_NOREPLACE))
        return -EINVAL;
    Node *source = find(from);
    const Node *target = find(to);
    if (!source)
        return -ENOENT;
    if (target && (flags & RENAME_NOREPLACE))
        return -EEXIST;
    if (target && (target->folder != source->folder || hasChildren(to)))
        return target->folder ? -EISDIR : -ENOTDIR;
    const std::string oldPath = from;
    const std::string newPath = to;
    drive.nodes[newPath] = *source;
    drive.nodes.erase(oldPath);
    // A folder takes everything below it along.
    std::vector<std::string> below;
    for (auto node = drive.nodes.upper_bound(oldPath + "/");
         node != drive.nodes.end() &&
         node->first.compare(0, oldPath.size() + 1, oldPath + "/") == 0;
         ++node)
        below.push_back(node->first);
    for (const std::string &path : below) {
        drive.nodes[newPath + path.substr(oldPath.size())] = drive.nodes[path];
        drive.nodes.erase(path);
    }
    return 0;
}

int readFile(const char *path, char *buffer, size_t size, off_t offset, fuse_file_info *)
{
    const Node *node = find(path);
    if (!node)
        return -ENOENT;
    if (offset >= node->size)
        return 0;
    size = std::min<size_t>(size, size_t(node->size - offset));
    for (size_t done = 0; done < size;) {
        const off_t at = offset + off_t(done);
        const long block = node->blocks.at(size_t(at / blockSize));
        const size_t part = std::min<size_t>(size - done, size_t(blockSize - at % blockSize));
        if (block >= 0)
            std::memcpy(buffer + done, blockAt(block) + at % blockSize, part);
        else
            std::memset(buffer + done, 0, part);
        done += part;
    }
    const std::string name = std::string(path).substr(std::string(path).rfind('/') + 1);
    if (name == drive.flips && offset == 0)
        buffer[0] ^= 1;
    return int(size);
}

int writeFile(const char *path, const char *buffer, size_t size, off_t offset, fuse_file_info *)
{
    Node *node = find(path);
    if (!node)
        return -ENOENT;
    if (offset + off_t(size) > node->size)
        resize(node, offset + off_t(size));
    for (size_t done = 0; done < size;) {
        const off_t at = offset + off_t(done);
        long &block = node->blocks.at(size_t(at / blockSize));
        const size_t part = std::min<size_t>(size - done, size_t(blockSize - at % blockSize));
        if (block == hole) {
            if (drive.dropsAfter >= 0 && drive.nextBlock >= drive.dropsAfter) {
                block = dropped;
            } else {
                block = drive.nextBlock++;
                std::memset(blockAt(block), 0, blockSize);
            }
        }
        if (block >= 0)
            std::memcpy(blockAt(block) + at % blockSize, buffer + done, part);
        done += part;
    }
    node->modified = now();
    return int(size);
}

int truncateFile(const char *path, off_t size, fuse_file_info *)
{
    Node *node = find(path);
    if (!node)
        return -ENOENT;
    resize(node, size);
    return 0;
}

int setTimes(const char *path, const timespec times[2], fuse_file_info *)
{
    Node *node = find(path);
    if (!node)
        return -ENOENT;
    if (times[1].tv_nsec == UTIME_NOW)
        node->modified = now();
    else if (times[1].tv_nsec != UTIME_OMIT)
        node->modified = times[1];
    return 0;
}

int changeMode(const char *path, mode_t mode, fuse_file_info *)
{
    Node *node = find(path);
    if (!node)
        return -ENOENT;
    node->mode = mode & 07777;
    return 0;
}

int changeOwner(const char *path, uid_t, gid_t, fuse_file_info *)
{
    return find(path) ? 0 : -ENOENT;
}

int driveSize(const char *, struct statvfs *st)
{
    *st = {};
    st->f_bsize = st->f_frsize = blockSize;
    st->f_blocks = fsblkcnt_t(drive.claimed / blockSize);
    const long used = std::min(drive.nextBlock, long(st->f_blocks));
    st->f_bfree = st->f_bavail = st->f_blocks - fsblkcnt_t(used);
    st->f_namemax = 255;
    return 0;
}

int syncFile(const char *, int, fuse_file_info *)
{
    return 0;
}

void *init(fuse_conn_info *connection, fuse_config *config)
{
    // As a real drive's: what was just written is read from the cache until it is dropped.
    connection->want |= FUSE_CAP_WRITEBACK_CACHE;
    config->kernel_cache = 1;
    return nullptr;
}

} // namespace

int main(int argc, char *argv[])
{
    std::vector<char *> fuseArguments{argv[0]};
    long stores = 0;
    for (int at = 1; at < argc; ++at) {
        const std::string option = argv[at];
        if (at + 1 < argc && option == "--stores")
            stores = std::stol(argv[++at]);
        else if (at + 1 < argc && option == "--claims")
            drive.claimed = std::stol(argv[++at]);
        else if (at + 1 < argc && option == "--drops-after")
            drive.dropsAfter = std::stol(argv[++at]) / blockSize;
        else if (at + 1 < argc && option == "--flips")
            drive.flips = argv[++at];
        else
            fuseArguments.push_back(argv[at]);
    }
    if (stores < blockSize)
        return 2;
    drive.store.resize(size_t(stores / blockSize * blockSize));
    if (drive.claimed == 0)
        drive.claimed = stores;
    Node root;
    root.folder = true;
    root.mode = 0755;
    root.modified = now();
    drive.nodes["/"] = root;

    fuse_operations operations{};
    operations.getattr = attributes;
    operations.readdir = listFolder;
    operations.mkdir = makeFolder;
    operations.create = createFile;
    operations.open = openFile;
    operations.unlink = removeFile;
    operations.rmdir = removeFolder;
    operations.rename = renameEntry;
    operations.read = readFile;
    operations.write = writeFile;
    operations.truncate = truncateFile;
    operations.utimens = setTimes;
    operations.chmod = changeMode;
    operations.chown = changeOwner;
    operations.statfs = driveSize;
    operations.fsync = syncFile;
    operations.init = init;
    // One thread: the drive's state takes no locks.
    fuseArguments.push_back(const_cast<char *>("-s"));
    return fuse_main(int(fuseArguments.size()), fuseArguments.data(), &operations, nullptr);
}
