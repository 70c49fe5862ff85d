// Fake ID3DXBuffer: a copy of the bytes it was made from, counted among the
// living fake objects. Release is recorded as "ID3DXBuffer::Release(buffer1)";
// labels count from 1 per test (ResetD3DXResources).
#pragma once

#include <windows.h>
#include <d3dx9core.h>

#include <cstddef>

namespace fake {

ID3DXBuffer *NewBuffer(const void *data, size_t size);

} // namespace fake
