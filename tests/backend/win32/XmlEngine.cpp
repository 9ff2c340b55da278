#include "xml/XmlEngine.h"

#include "platform/win32/Factories.h"

namespace tovela::testing {

std::unique_ptr<XmlFactory> MakeXmlFactory() {
    return win32::CreateXmlFactory();
}

}  // namespace tovela::testing
