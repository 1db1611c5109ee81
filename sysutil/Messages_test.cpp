#include <gtest/gtest.h>

#include <functional>
#include <typeinfo>

#include "sysutil/ShConst.h"
#include "sysutil/UtConst.h"

using namespace sysutil;

namespace {

TEST(MessageTables, TextsByCode) {
    EXPECT_EQ(ShMessageText(230), "Name");
    EXPECT_EQ(ShMessageText(240), "Invalid folder");
    EXPECT_EQ(ShMessageText(134), "The specified key cannnot be found in version info");
    EXPECT_EQ(ShMessageText(999), "");
    EXPECT_EQ(ShMessageText(0), "");
    EXPECT_EQ(UtMessageText(53), "Bad size parameter");
    EXPECT_EQ(UtMessageText(250), "FileName cannot be empty when RunParameters is specified");
    EXPECT_EQ(UtMessageText(230), "") << "the two tables are apart";
    EXPECT_EQ(ShMessageText(74), "");
}

TEST(MessageTables, ContainerErrorsFormatTheClassName) {
    try {
        RaiseContainerErrorFmt(57, {"TFoo"});
        FAIL();
    } catch (const EShContainerError& e) {
        EXPECT_EQ(e.Message, "Container class name TFoo read from stream is unregistered");
        EXPECT_EQ(e.ErrorCode, 57);
    }
    try {
        RaiseContainerError(59);
        FAIL();
    } catch (const EShException& e) {
        EXPECT_EQ(e.Message, "Container's StoreData property is unassigned");
        EXPECT_EQ(typeid(e), typeid(EShContainerError));
    }
    try {
        RaiseContainerErrorFmt(58, {std::string("TNode")});
        FAIL();
    } catch (const EShContainerError& e) {
        EXPECT_EQ(e.Message, "Node class name TNode read from stream is unregistered");
    }
}

TEST(MessageTables, EveryExceptionClassCarriesItsNumber) {
    struct Case {
        std::function<void()> raise;
        int32_t code;
        const char* text;
        bool utFamily;
    } cases[] = {
        {[] { RaiseStError<EUtException>(51); }, 51, "Compare property must be set", true},
        {[] { RaiseStError<EUtSortError>(53); }, 53, "Bad size parameter", true},
        {[] { RaiseStError<EUtSpawnError>(250); }, 250,
         "FileName cannot be empty when RunParameters is specified", true},
        {[] { RaiseSsError<EShException>(52); }, 52, "An incompatible class is passed to a method", false},
        {[] { RaiseSsError<EShContainerError>(61); }, 61, "Class name on stream differs from object's class",
         false},
        {[] { RaiseSsError<EShVersionInfoError>(100); }, 100, "File does not contain version info", false},
        {[] { RaiseSsError<EShShellError>(110); }, 110,
         "Operation not supported in this version of the shell", false},
        {[] { RaiseSsError<EShInvalidFolder>(240); }, 240, "Invalid folder", false},
        {[] { RaiseSsError<EShBufStreamError>(274); }, 274,
         "Text stream: Case statement was used with a bad value of LineTerminator", false},
        {[] { RaiseSsError<EShRegExError>(302); }, 302, "A * or + operand could be empty", false},
    };
    for (auto& c : cases) {
        try {
            c.raise();
            ADD_FAILURE() << c.code << " did not raise";
        } catch (const EUtException& e) {
            EXPECT_TRUE(c.utFamily) << c.code;
            EXPECT_EQ(e.ErrorCode, c.code);
            EXPECT_EQ(e.Message, c.text);
        } catch (const EShException& e) {
            EXPECT_FALSE(c.utFamily) << c.code;
            EXPECT_EQ(e.ErrorCode, c.code);
            EXPECT_EQ(e.Message, c.text);
            EXPECT_STREQ(e.what(), c.text);
        }
    }
    try {
        RaiseSortError(53);
        ADD_FAILURE();
    } catch (const EUtSortError& e) {
        EXPECT_EQ(e.Message, "Bad size parameter");
        EXPECT_EQ(e.ErrorCode, 53);
    }
    EXPECT_THROW(RaiseSortError(8), framework::EOutOfMemory);
    // Both families are the class library's exceptions.
    EXPECT_THROW(RaiseStError<EUtSortError>(76), framework::Exception);
    EXPECT_THROW(RaiseSsError<EShRegExError>(290), framework::Exception);
}

}  // namespace
