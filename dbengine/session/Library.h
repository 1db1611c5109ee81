#pragma once
// Start and stop of the engine library's process-wide objects, once per process, by engine
// initialisation and finalisation.

namespace dbengine {

// Creates, in this order, the expression token pool, the record-bitmap pool, the character map
// cache and the file list.
void LibraryStartup();
// Frees them in the opposite order.
void LibraryShutdown();

}  // namespace dbengine
