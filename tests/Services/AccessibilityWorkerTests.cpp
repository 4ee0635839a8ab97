#include "Fakes/FakeAccessibility.h"
#include "Fakes/FakeTagger.h"
#include "Native/Services.h"
#include "Services/Detection/AccessibilityWorker.h"
#include "Support/TestSupport.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

using namespace Lumivox;
using Testing::FakeAccessibility;
using Testing::FakeElement;
using Testing::FakeTagger;
namespace ATS = Lumivox::AccessibilityTextService;

namespace {

ATS::LookupResult hitFor(const QString &word, const QString &sentence)
{
    return ATS::LookupResult::hit(ATS::HitResult{word, sentence, QRectF(0, 0, 10, 10), 0});
}

class AccessibilityWorkerTest : public ::testing::Test
{
protected:
    AccessibilityWorkerTest()
    {
        tagger->define(QStringLiteral("John"),
                       {QStringLiteral("Noun"), QStringLiteral("John"), QStringLiteral("PersonalName")});
    }
    std::shared_ptr<FakeTagger> tagger = std::make_shared<FakeTagger>();
    Native::ScopedOverride<Native::Tagger> scopedTagger{tagger};
};

} // namespace

TEST_F(AccessibilityWorkerTest, NamesAreTranslatableOnlyWhenTheFilterIsOff)
{
    const auto name = hitFor(QStringLiteral("John"), QStringLiteral("John went home."));
    EXPECT_FALSE(AccessibilityWorker::judged(name, true).isTranslatable);
    EXPECT_TRUE(AccessibilityWorker::judged(name, false).isTranslatable);
    const auto word = hitFor(QStringLiteral("home"), QStringLiteral("John went home."));
    EXPECT_TRUE(AccessibilityWorker::judged(word, true).isTranslatable);
    // The result itself travels unchanged.
    EXPECT_EQ(AccessibilityWorker::judged(name, true).result, name);
}

TEST_F(AccessibilityWorkerTest, OutcomesOtherThanAHitAreNeverTranslatable)
{
    for (bool skip : {false, true}) {
        EXPECT_FALSE(AccessibilityWorker::judged(ATS::LookupResult::ownProcess(), skip).isTranslatable);
        EXPECT_FALSE(AccessibilityWorker::judged(ATS::LookupResult::suppressed(), skip).isTranslatable);
        EXPECT_FALSE(AccessibilityWorker::judged(ATS::LookupResult::miss(42), skip).isTranslatable);
    }
}

TEST_F(AccessibilityWorkerTest, LookupsRunOffTheUiThreadOneAtATime)
{
    auto ax = std::make_shared<FakeAccessibility>();
    Native::ScopedOverride<Native::Accessibility> scoped{ax};
    std::atomic<int> inside{0};
    std::atomic<int> overlaps{0};
    std::atomic<bool> onUiThread{false};
    const auto uiThread = std::this_thread::get_id();
    auto element = FakeElement::make();
    element->pid(4242).role(QStringLiteral("AXTextArea"));
    ax->systemWide->hitTest = [&](QPointF) -> Native::AXElement {
        if (std::this_thread::get_id() == uiThread)
            onUiThread = true;
        if (inside.fetch_add(1) != 0)
            overlaps.fetch_add(1);
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
        inside.fetch_sub(1);
        return element;
    };

    AccessibilityWorker worker;
    auto first = worker.lookupWord(QPointF(10, 10), 1000.0, true);
    auto second = worker.lookupWord(QPointF(20, 10), 1000.0, true);
    auto third = worker.lookupWordInProcess(4242, QPointF(30, 10), 1000.0, true, false);
    Testing::await(std::move(first));
    Testing::await(std::move(second));
    Testing::await(std::move(third));
    EXPECT_EQ(overlaps.load(), 0);
    EXPECT_FALSE(onUiThread.load());
}
