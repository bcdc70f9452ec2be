#pragma once
// What the readiness checks need from the platform beyond files: the free
// space of a drive, replaceable so that tests can set any amount.
#include <cstdint>
#include <functional>
#include <string>

// Free bytes on the drive whose root is given ("C:\"); throws when the drive cannot be read.
using FreeSpaceProbe = std::function<uint64_t(const std::string& driveRoot)>;
void SetFreeSpaceProbe(FreeSpaceProbe probe);  // an empty probe restores the real one

// Whole gigabytes of 2^30 bytes, a half going to the even neighbour.
int64_t WholeGigabytes(uint64_t bytes);
