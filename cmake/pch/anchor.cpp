// The one source of the targets that build the precompiled headers
// (cmake/precompiled_headers.cmake); the headers are its whole content.
