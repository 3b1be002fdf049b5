#include "link/PortOpenError.h"

#include <grp.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstring>

#include "link/posix/PosixSerialDevice.h"

namespace pelican {
namespace {

// The group that owns the device, when it is one a user can join.
std::string DeviceGroup(const std::string& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0 || info.st_gid == 0) return std::string();
    const group* entry = ::getgrgid(info.st_gid);
    return entry != nullptr && entry->gr_name != nullptr ? std::string(entry->gr_name) : std::string();
}

std::string Named(const std::string& name, const std::string& path) {
    return path == name ? name : name + " (" + path + ")";
}

}  // namespace

bool IsPortPermissionError(int error) {
    return error == EACCES || error == EPERM;
}

std::string PortPermissionAdvice(const std::string& name) {
    const std::string path = CPosixSerialDevice::DevicePath(name);
    const std::string group = DeviceGroup(path);
    std::string text = Named(name, path) + ".\n";
    if (group.empty()) return text + "Ask the administrator of this computer for access to it.";
    return text + "It belongs to the group " + group + ": join it (sudo adduser $USER " + group +
           ") and log in again.";
}

std::string DescribePortOpenError(const std::string& name, int error) {
    const std::string path = CPosixSerialDevice::DevicePath(name);
    std::string text = "cannot open " + Named(name, path) + ": ";
    switch (error) {
        case 0: return text + "the port could not be opened";
        case ENOTTY: return text + "not a serial device";
        case EBUSY: return text + "in use by another program";
        case EACCES:  // the same as IsPortPermissionError
        case EPERM: {
            text += std::strerror(error);
            const std::string group = DeviceGroup(path);
            if (!group.empty())
                text += "; the port belongs to the group " + group + ": join it (sudo adduser $USER " + group +
                        ") and log in again";
            return text;
        }
        default: return text + std::strerror(error);
    }
}

}  // namespace pelican
