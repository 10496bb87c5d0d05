// --version: the version resources of the tool and of the vidlox64.dll it
// loaded, as Windows shows them in the files' properties.
#pragma once

namespace tool {

int print_versions();

}  // namespace tool
