#pragma once

#include <cstdint>
#include <string>

namespace kavendrum::testing {

// Exclusive: nobody else may open the file. Shared: others may read it too, as a reader that
// lets other readers in does.
enum class Holding { Exclusive, Shared };

// Keeps a file open the way another program holding it would, so that nobody else can open it
// exclusively until this object goes.
class HeldFile {
  public:
    explicit HeldFile(const std::string& path, Holding holding = Holding::Exclusive);
    ~HeldFile();
    HeldFile(const HeldFile&) = delete;
    HeldFile& operator=(const HeldFile&) = delete;

    bool held() const { return m_held; }

  private:
    std::intptr_t m_handle = -1;
    bool m_held = false;
};

}  // namespace kavendrum::testing
