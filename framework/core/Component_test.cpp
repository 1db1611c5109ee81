#include "framework/core/Component.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "framework/core/Exception.h"

namespace framework {
namespace {

// A component that writes what happens to it into a shared log.
struct Log {
    std::vector<std::string> lines;
    std::map<std::string, int> destroyed;
};

class TProbe : public TComponent {
public:
    TProbe(TComponent* AOwner, std::string Label, Log& L)
        : TComponent(AOwner), label(std::move(Label)), log(L) {}
    ~TProbe() override {
        log.destroyed[label]++;
        log.lines.push_back("free " + label);
    }
    void Notification(TComponent* AComponent, TOperation Operation) override {
        TComponent::Notification(AComponent, Operation);
        auto* probe = dynamic_cast<TProbe*>(AComponent);
        std::string what = probe != nullptr ? probe->label : "?";
        log.lines.push_back(label + (Operation == opInsert ? " +" : " -") + what +
                            ((ComponentState() & csDestroying) ? " (destroying)" : ""));
    }
    void Loaded() override {
        TComponent::Loaded();
        log.lines.push_back("loaded " + label);
    }

    std::string label;
    Log& log;
};

std::vector<std::string> Filter(const std::vector<std::string>& lines, const std::string& prefix) {
    std::vector<std::string> out;
    for (auto& l : lines)
        if (l.rfind(prefix, 0) == 0) out.push_back(l);
    return out;
}

TEST(ComponentTest, ThreeLevelTreeFreesEveryChildOnceLastCreatedFirst) {
    Log log;
    {
        TComponentPtr<TProbe> root(new TProbe(nullptr, "root", log));
        auto* a = new TProbe(root.get(), "a", log);
        new TProbe(a, "a1", log);
        new TProbe(a, "a2", log);
        auto* b = new TProbe(root.get(), "b", log);
        new TProbe(b, "b1", log);
        EXPECT_EQ(root->ComponentCount(), 2);
        EXPECT_EQ(a->ComponentCount(), 2);
        EXPECT_EQ(b->Components(0)->Owner(), b);
    }
    std::vector<std::string> expected = {"free root", "free b", "free b1", "free a", "free a2", "free a1"};
    EXPECT_EQ(Filter(log.lines, "free "), expected);
    for (auto* name : {"root", "a", "a1", "a2", "b", "b1"}) EXPECT_EQ(log.destroyed[name], 1) << name;
}

TEST(ComponentTest, PlainDeleteAlsoFreesTheTree) {
    Log log;
    auto* root = new TProbe(nullptr, "root", log);
    auto* a = new TProbe(root, "a", log);
    new TProbe(a, "a1", log);
    delete root;
    EXPECT_EQ(log.destroyed.size(), 3u);
    for (auto& [name, count] : log.destroyed) EXPECT_EQ(count, 1) << name;
}

TEST(ComponentTest, RemovingOrFreeingAChildNotifiesTheOwnerAndItsComponents) {
    Log log;
    TComponentPtr<TProbe> owner(new TProbe(nullptr, "owner", log));
    auto* x = NewComponent<TProbe>(owner.get(), "x", log);
    auto* y = NewComponent<TProbe>(owner.get(), "y", log);
    // Made with NewComponent, the new component is announced once it is whole; with a plain new it
    // is still only a TComponent when the owner hears of it.
    auto* z = new TProbe(owner.get(), "z", log);
    EXPECT_EQ(Filter(log.lines, "owner"), (std::vector<std::string>{"owner +x", "owner +y", "owner +?"}));
    EXPECT_EQ(Filter(log.lines, "x "), (std::vector<std::string>{"x +x", "x +y", "x +?"}));
    z->Free();
    log.lines.clear();

    // Freed with Free: receivers still see the full class of the leaving component.
    y->Free();
    EXPECT_EQ(Filter(log.lines, "owner"), (std::vector<std::string>{"owner -y"}));
    EXPECT_EQ(Filter(log.lines, "x "), (std::vector<std::string>{"x -y"}));
    EXPECT_EQ(owner->ComponentCount(), 1);
    log.lines.clear();

    // Taken out without being freed: it lives on without owner.
    owner->RemoveComponent(x);
    TComponentPtr<TProbe> held(x);
    EXPECT_EQ(Filter(log.lines, "owner"), (std::vector<std::string>{"owner -x"}));
    EXPECT_EQ(x->Owner(), nullptr);
    EXPECT_EQ(owner->ComponentCount(), 0);
    EXPECT_EQ(x->ComponentIndex(), -1);
}

TEST(ComponentTest, InsertComponentMovesBetweenOwners) {
    Log log;
    TComponentPtr<TProbe> first(new TProbe(nullptr, "first", log));
    TComponentPtr<TProbe> second(new TProbe(nullptr, "second", log));
    auto* c = new TProbe(first.get(), "c", log);
    log.lines.clear();
    second->InsertComponent(c);
    EXPECT_EQ(c->Owner(), second.get());
    EXPECT_EQ(first->ComponentCount(), 0);
    EXPECT_EQ(Filter(log.lines, "first"), (std::vector<std::string>{"first -c"}));
    EXPECT_EQ(Filter(log.lines, "second"), (std::vector<std::string>{"second +c"}));
}

TEST(ComponentTest, FreeNotificationAcrossOwnersInBothDirections) {
    Log log;
    TComponentPtr<TProbe> formA(new TProbe(nullptr, "formA", log));
    TComponentPtr<TProbe> formB(new TProbe(nullptr, "formB", log));
    auto* user = new TProbe(formA.get(), "user", log);
    auto* source = new TProbe(formB.get(), "source", log);
    source->FreeNotification(user);
    log.lines.clear();

    formB.reset();  // frees source: user learns of it while source is still whole
    EXPECT_EQ(Filter(log.lines, "user"), (std::vector<std::string>{"user -source"}));

    // The other way round: the subscriber goes first and must not be called later.
    auto* src2 = new TProbe(nullptr, "src2", log);
    TComponentPtr<TProbe> holder(src2);
    src2->FreeNotification(user);
    user->Free();
    log.lines.clear();
    holder.reset();  // would touch the freed subscriber if its link had stayed behind
    EXPECT_TRUE(Filter(log.lines, "user").empty());

    // RemoveFreeNotification withdraws the request.
    auto* src3 = new TProbe(formA.get(), "src3", log);
    TComponentPtr<TProbe> other(new TProbe(nullptr, "other", log));
    src3->FreeNotification(other.get());
    src3->RemoveFreeNotification(other.get());
    log.lines.clear();
    src3->Free();
    EXPECT_TRUE(Filter(log.lines, "other").empty());
}

TEST(ComponentTest, ChildrenAreMarkedDestroyingBeforeTheyHearOfSiblingsLeaving) {
    Log log;
    auto* owner = new TProbe(nullptr, "owner", log);
    new TProbe(owner, "p", log);
    new TProbe(owner, "q", log);
    log.lines.clear();
    owner->Free();
    // q is freed first; p hears of it and is already marked as destroying. The owner's forwarding
    // also tells p of its own removal.
    EXPECT_EQ(Filter(log.lines, "p "), (std::vector<std::string>{"p -q (destroying)", "p -p (destroying)"}));
}

TEST(ComponentTest, NamesAreIdentifiersUniquePerOwnerIgnoringCase) {
    TComponentPtr<TComponent> owner(new TComponent(nullptr));
    auto* a = new TComponent(owner.get());
    auto* b = new TComponent(owner.get());
    a->SetName("Button1");
    EXPECT_EQ(owner->FindComponent("BUTTON1"), a);
    EXPECT_EQ(owner->FindComponent(""), nullptr);
    EXPECT_EQ(owner->FindComponent("Button2"), nullptr);

    struct Case {
        const char* name;
        const char* error;  // null when accepted
    } cases[] = {
        {"button1", "A component named button1 already exists"},
        {"1abc", "'1abc' is not a valid component name"},
        {"a b", "'a b' is not a valid component name"},
        {"_Label_2", nullptr},
        {"", nullptr},
    };
    for (const auto& c : cases) {
        if (c.error == nullptr) {
            EXPECT_NO_THROW(b->SetName(c.name)) << c.name;
            EXPECT_EQ(b->Name(), c.name);
        } else {
            try {
                b->SetName(c.name);
                ADD_FAILURE() << "accepted " << c.name;
            } catch (const EComponentError& e) {
                EXPECT_EQ(e.Message, c.error);
            }
        }
    }
    a->SetName("button1");  // renaming itself with other case is allowed
    EXPECT_EQ(a->Name(), "button1");

    // A named component cannot join an owner that already holds the name.
    TComponentPtr<TComponent> loose(new TComponent(nullptr));
    loose->SetName("BUTTON1");
    EXPECT_THROW(owner->InsertComponent(loose.get()), EComponentError);
    EXPECT_EQ(loose->Owner(), nullptr);
}

TEST(ComponentTest, ComponentsIndexOutOfRangeRaisesListError) {
    TComponentPtr<TComponent> owner(new TComponent(nullptr));
    new TComponent(owner.get());
    for (int index : {-1, 1}) {
        try {
            owner->Components(index);
            ADD_FAILURE();
        } catch (const EListError& e) {
            EXPECT_EQ(e.Message, "List index out of bounds (" + std::to_string(index) + ")");
        }
    }
}

TEST(ComponentTest, LoadingStateAndDesigningFlags) {
    Log log;
    TComponentPtr<TProbe> c(new TProbe(nullptr, "c", log));
    auto* child = new TProbe(c.get(), "child", log);
    c->Loading();
    EXPECT_TRUE(c->ComponentState() & csLoading);
    c->Loaded();
    EXPECT_FALSE(c->ComponentState() & csLoading);
    EXPECT_EQ(Filter(log.lines, "loaded"), (std::vector<std::string>{"loaded c"}));

    c->SetDesigning(true);
    EXPECT_TRUE(child->ComponentState() & csDesigning);
    c->SetDesigning(false, false);
    EXPECT_FALSE(c->ComponentState() & csDesigning);
    EXPECT_TRUE(child->ComponentState() & csDesigning);
}

// Two persistent classes: TPoint2 knows how to copy from itself; TTaught teaches TPoint2 to receive
// it through AssignTo.
class TPoint2 : public TPersistent {
public:
    int x = 0, y = 0;
    void Assign(TPersistent* Source) override {
        if (auto* p = dynamic_cast<TPoint2*>(Source)) {
            x = p->x;
            y = p->y;
            return;
        }
        TPersistent::Assign(Source);
    }
};
class TTaught : public TPersistent {
protected:
    void AssignTo(TPersistent* Dest) override {
        if (auto* p = dynamic_cast<TPoint2*>(Dest)) {
            p->x = p->y = 7;
            return;
        }
        TPersistent::AssignTo(Dest);
    }
};
class TStranger : public TPersistent {};

TEST(PersistentTest, AssignCopiesOrRaisesConvertError) {
    TPoint2 a, b;
    b.x = 3;
    b.y = 4;
    a.Assign(&b);
    EXPECT_EQ(a.x, 3);
    EXPECT_EQ(a.y, 4);

    TTaught taught;
    a.Assign(&taught);
    EXPECT_EQ(a.x, 7);

    TStranger stranger;
    struct Case {
        TPersistent* dest;
        TPersistent* source;
        const char* message;
    } cases[] = {
        {&a, &stranger, "Cannot assign a TStranger to a TPoint2"},
        {&a, nullptr, "Cannot assign a nil to a TPoint2"},
        {&stranger, &a, "Cannot assign a TPoint2 to a TStranger"},
        {&stranger, &taught, "Cannot assign a TTaught to a TStranger"},
    };
    for (const auto& c : cases) {
        try {
            c.dest->Assign(c.source);
            ADD_FAILURE() << c.message;
        } catch (const EConvertError& e) {
            EXPECT_EQ(e.Message, c.message);
        }
    }
}

}  // namespace
}  // namespace framework
