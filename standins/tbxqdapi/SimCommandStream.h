// Splits the byte stream sent to the simulated printer into whole commands, so that data
// inside a raster image or a barcode is never mistaken for a command.
#pragma once
#include <cstddef>
#include <cstdint>

// Length of the command that starts at bytes[0], or 0 when more bytes are needed to know it
// or to complete it. Text and unknown single bytes are one byte long.
size_t SimCommandLength(const uint8_t* bytes, size_t available);
