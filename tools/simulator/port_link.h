// A link among the panel's virtual ports that names the simulator's pty for as long as the link
// object lives.
#ifndef DRIVERPANEL_TOOLS_SIMULATOR_PORT_LINK_H
#define DRIVERPANEL_TOOLS_SIMULATOR_PORT_LINK_H

#include <filesystem>
#include <string>

namespace simulator {

// Whether `name` can be a link's own name: not empty, no '/', not "." or "..", no control
// characters, at most 64 bytes (the panel shows it in its port list).
bool IsValidLinkName(const std::string& name);

class PortLink {
  public:
    // Creates directory/name -> target, making the directory (owner only) if needed. A dangling
    // link of that name is replaced; anything else of that name is left alone and refused.
    // Throws std::invalid_argument for a bad name, std::filesystem::filesystem_error otherwise.
    PortLink(const std::filesystem::path& directory, const std::string& name,
             const std::filesystem::path& target);
    PortLink(const PortLink&) = delete;
    PortLink& operator=(const PortLink&) = delete;
    // Removes the link if it still points where this object put it.
    ~PortLink();

    const std::filesystem::path& Path() const { return path_; }

  private:
    std::filesystem::path path_;
    std::filesystem::path target_;
};

}  // namespace simulator

#endif
