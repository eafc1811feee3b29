#include "component/core/Factory.h"

#include "component/core/CorvaneComponent.h"

namespace corvane::component {

std::unique_ptr<receiver::Component> makeComponent() {
    return std::make_unique<CorvaneComponent>();
}

} // namespace corvane::component
