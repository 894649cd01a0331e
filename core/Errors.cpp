#include "core/Errors.h"

#include <cerrno>

namespace memvane {

EListError::EListError(long index)
    : AppError("List index out of bounds (" + std::to_string(index) + ")")
{
}

EInOutError EInOutError::fromErrno(int err)
{
    switch (err) {
    case ENOENT:
    case ENOTDIR:
        return EInOutError(err, "File not found");
    case EACCES:
    case EPERM:
    case EROFS:
    case EISDIR:
        return EInOutError(err, "File access denied");
    default:
        return EInOutError(err, "I/O error " + std::to_string(err));
    }
}

} // namespace memvane
