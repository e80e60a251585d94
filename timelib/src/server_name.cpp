#include "server_name.h"

namespace zymdate {

std::string cleanServerName(std::string_view name) {
    const size_t first = name.find_first_not_of(' ');
    if (first == std::string_view::npos)
        return {};
    name.remove_prefix(first);
    return std::string(name.substr(0, name.find_first_of(" (")));
}

} // namespace zymdate
