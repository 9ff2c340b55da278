#include "xml/XmlEngine.h"

#include "platform/posix/Factories.h"

namespace tovela::testing {

std::unique_ptr<XmlFactory> MakeXmlFactory() {
    return posix::CreateXmlFactory();
}

}  // namespace tovela::testing
