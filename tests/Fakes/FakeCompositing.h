#pragma once

#include "Native/Windows/Compositing.h"

namespace Lumivox::Testing {

/// A compositing manager that runs or not, as the test says.
class FakeCompositing final : public Native::Compositing
{
public:
    explicit FakeCompositing(bool active = true)
        : m_active(active)
    { }
    bool isActive() override { return m_active; }
    void setActive(bool active) { m_active = active; }

private:
    bool m_active;
};

} // namespace Lumivox::Testing
