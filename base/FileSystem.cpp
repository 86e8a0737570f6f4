#include "base/FileSystem.h"

#include "base/AppError.h"

namespace t7 {

void raiseFileSystemError(int32_t number) {
    switch (number) {
        case fserr::FileNotFound:
            throw AppError(number, L"File not found");
        case fserr::FileAlreadyExists:
            throw AppError(number, L"File already exists");
        case fserr::PermissionDenied:
            throw AppError(number, L"Permission denied");
        default:
            throw AppError(fserr::PathNotFound, L"Path not found");
    }
}

}  // namespace t7
