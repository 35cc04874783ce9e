#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/SeguePresentation.h"
#include "support/FakeWidgets.h"

namespace orvane {
namespace {

// A dialog that notes whether it was on screen when something looked at it.
class DialogController : public PlatformViewController {
public:
    void viewDidAppear() override { appeared = true; }
    bool appeared = false;
    std::string preparedWith;
};

class OtherController : public PlatformViewController {};

// A presenting controller that follows the rule: callback senders first, then its own steps.
class PresentingController : public PlatformViewController {
public:
    void prepareForSegue(const StoryboardSegue& segue, Object* sender) override {
        if (handleSegueCallback(segue, sender)) return;
        ownPreparations.push_back(segue.identifier);
    }
    std::vector<std::string> ownPreparations;
};

class SeguePresentationTest : public ::testing::Test {
protected:
    void SetUp() override {
        host = std::make_shared<FakeViewHost>();
        host->registerDestination("Software Update Information", [] { return std::make_shared<DialogController>(); });
        host->registerDestination("Modal Progress", [] { return std::make_shared<OtherController>(); });
        presenter = std::make_shared<PresentingController>();
        presenter->setHost(host);
    }

    std::shared_ptr<FakeViewHost> host;
    std::shared_ptr<PresentingController> presenter;
};

TEST_F(SeguePresentationTest, HandlerRunsOnceWithTheNewDestinationBeforeItIsShown) {
    int calls = 0;
    DialogController* seen = nullptr;
    bool shownBeforeHandler = true;
    performSegueWithHandler<DialogController>(*presenter, "Software Update Information", [&](DialogController& dialog) {
        ++calls;
        seen = &dialog;
        shownBeforeHandler = dialog.appeared || !host->presented.empty();
        dialog.preparedWith = "release 2.0";
    });

    EXPECT_EQ(calls, 1);
    EXPECT_FALSE(shownBeforeHandler);
    ASSERT_EQ(host->presented.size(), 1u);
    EXPECT_EQ(host->presented[0].get(), seen);
    auto dialog = std::dynamic_pointer_cast<DialogController>(host->presented[0]);
    ASSERT_TRUE(dialog);
    EXPECT_TRUE(dialog->appeared);
    EXPECT_EQ(dialog->preparedWith, "release 2.0");
}

TEST_F(SeguePresentationTest, CallbackSegueSkipsThePresentersOwnPreparation) {
    performSegueWithHandler<DialogController>(*presenter, "Software Update Information", [](DialogController&) {});
    EXPECT_TRUE(presenter->ownPreparations.empty());

    // A segue without a callback sender still gets the presenter's own preparation.
    presenter->performSegueWithIdentifier("Modal Progress", nullptr);
    EXPECT_EQ(presenter->ownPreparations, std::vector<std::string>{"Modal Progress"});
}

TEST_F(SeguePresentationTest, NobodyKeepsTheSenderAfterTheSegue) {
    auto marker = std::make_shared<int>(0);
    std::weak_ptr<int> watch = marker;
    performSegueWithHandler<DialogController>(*presenter, "Software Update Information",
                                              [marker](DialogController&) { ++*marker; });
    marker.reset();

    ASSERT_EQ(host->performedSegues.size(), 1u);
    EXPECT_TRUE(host->performedSegues[0].hadSender);
    EXPECT_TRUE(host->performedSegues[0].sender.expired());
    EXPECT_TRUE(watch.expired());
}

TEST_F(SeguePresentationTest, ADestinationOfAnotherTypeIsRefusedWithoutCallingTheHandler) {
    bool called = false;
    EXPECT_THROW(performSegueWithHandler<DialogController>(*presenter, "Modal Progress",
                                                           [&](DialogController&) { called = true; }),
                 std::logic_error);
    EXPECT_FALSE(called);
    EXPECT_TRUE(host->presented.empty());
}

}  // namespace
}  // namespace orvane
