// The RFC 1321 message digest, for the package cipher's password digest.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

using Md5Digest = std::array<std::uint8_t, 16>;

Md5Digest ComputeMd5(const std::uint8_t* data, std::size_t length);
