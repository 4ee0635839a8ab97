#pragma once

#include "Native/Desktop/MotionPreference.h"

namespace Lumivox::Testing {

/// The desktop's wish for less motion, as the test sets it.
class FakeMotionPreference final : public Native::MotionPreference
{
public:
    explicit FakeMotionPreference(bool reduces = false)
        : m_reduces(reduces)
    { }
    bool reducesMotion() const override { return m_reduces; }
    void setReducesMotion(bool reduces)
    {
        if (reduces == m_reduces)
            return;
        m_reduces = reduces;
        emit reducesMotionChanged(reduces);
    }

private:
    bool m_reduces;
};

} // namespace Lumivox::Testing
