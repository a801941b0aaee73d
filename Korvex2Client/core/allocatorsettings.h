#pragma once

// How the C library's allocator keeps the program's memory: set once, at the start of main.
namespace AllocatorSettings {

// The rendering of a print on the upload worker's rendering thread takes some 60 MB of image
// buffers. By default the allocator gives the memory of a secondary thread's heap back to the
// system as soon as it lies free at the heap's top, and the next rendering faults every page
// in again: a fifth slower than the same rendering on the main thread. With these settings
// blocks up to 32 MiB (the most the allocator allows) come from the heaps rather than from
// mappings of their own, and a heap keeps up to 128 MiB free at its top, so a thread that
// renders one print after another keeps its memory from one to the next. Fixed values also end
// the allocator's own adjustment of both. True when the allocator took them; without the GNU
// C library (or under a sanitizer's allocator) nothing changes.
bool keepImageBuffers();

} // namespace AllocatorSettings
