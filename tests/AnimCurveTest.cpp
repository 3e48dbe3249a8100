#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "AnimCurve.h"
#include "FileSys.h"
#include "FrameworkEx.h"
#include "FrameworkExMessage.h"
#include "TempDir.h"
#include "common/ArchiveWriter.h"
#include "win32/MessageBox.h"

namespace {

using Smooth = AnimCurve<HERMITESEGMENT<float>>;
using Step = AnimCurve<CONSTSEGMENT<float>>;

struct Key {
    float time, value, in, out;
};

// Curve file bytes built here, little-endian by hand, so loading is checked against the file
// layout rather than against a writer of our own.
std::vector<unsigned char> CurveBytes(const std::vector<Key>& keys)
{
    std::vector<unsigned char> bytes;
    for (const Key& key : keys)
        for (float f : {key.time, key.value, key.in, key.out}) {
            std::uint32_t bits;
            std::memcpy(&bits, &f, 4);
            for (int i = 0; i < 4; ++i)
                bytes.push_back(static_cast<unsigned char>(bits >> (8 * i)));
        }
    return bytes;
}

// The Hermite segment in its textbook form (basis functions, double precision), to check the
// coefficient form the curves use.
double HermiteReference(double t, double d, double p0, double p1, double m0, double m1)
{
    const double s = t / d;
    const double h00 = 2 * s * s * s - 3 * s * s + 1;
    const double h10 = s * s * s - 2 * s * s + s;
    const double h01 = -2 * s * s * s + 3 * s * s;
    const double h11 = s * s * s - s * s;
    return h00 * p0 + h10 * d * m0 + h01 * p1 + h11 * d * m1;
}

class AnimCurveTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ResetAnimCurveMessages();
        previousPresenter = SetMessageBoxPresenter([this](const MessageBoxRecord& box) {
            boxes.push_back(box);
            return IDOK;
        });
    }
    void TearDown() override
    {
        fileSys.reset();
        SetMessageBoxPresenter(previousPresenter);
        ResetAnimCurveMessages();
    }

    void AddCurve(const std::string& name, const std::vector<Key>& keys) { AddBytes(name, CurveBytes(keys)); }
    void AddBytes(const std::string& name, std::vector<unsigned char> bytes)
    {
        writer.Add("Data\\anim\\" + name, std::move(bytes));
    }
    // Writes the archive of the curves added so far and opens it.
    void Open()
    {
        fileSys.reset();
        const std::string path = (dir.path() / "basefile.dat").string();
        writer.Write(path);
        fileSys = std::make_unique<FileSys>(path.c_str());
    }

    template <typename Curve>
    static float ValueAt(Curve& curve, float time)
    {
        curve.Evaluate(time);
        return curve.GetValue();
    }

    template <typename Curve>
    static std::string EvaluationError(Curve& curve, float time)
    {
        return FrameworkExMessage([&] { curve.Evaluate(time); });
    }

    TempDir dir;
    ArchiveWriter writer;
    std::unique_ptr<FileSys> fileSys;
    std::vector<MessageBoxRecord> boxes;
    MessageBoxPresenter previousPresenter;
};

struct ValueCase {
    const char* what;
    std::vector<Key> keys;
    float time;
    float expected;
};

TEST_F(AnimCurveTest, SmoothCurveValues)
{
    const std::vector<Key> ease = {{0, 0, 0, 0}, {10, 1, 0, 0}};
    const std::vector<Key> line = {{0, 0, 0, 1}, {10, 10, 1, 0}};
    const std::vector<Key> single = {{5, 2, 0, 0}};
    const std::vector<Key> upDown = {{0, 0, 0, 0}, {10, 1, 0, 0}, {20, -1, 0, 0}};
    const std::vector<Key> endSlopes = {{0, 0, 0, 0}, {10, 1, 1, 1}};
    const ValueCase cases[] = {
        {"flat tangents, middle", ease, 5, 0.5f},
        {"flat tangents, first key", ease, 0, 0},
        {"flat tangents, second key", ease, 10, 1},
        {"slope-1 tangents make a line", line, 2.5f, 2.5f},
        {"slope-1 tangents make a line", line, 7, 7},
        {"first cubic extended before the first key", line, -5, -5},
        // The extended cubics overflow this far out: the end keys' values hold there.
        {"far before the first key", upDown, -1.7e38f, 0},
        {"far after a last key with slopes", endSlopes, 3.4e38f, 1},
        {"single key before it", single, -100, 2},
        {"single key at it", single, 5, 2},
        {"single key long after it", single, 150000, 2},
        {"second segment picked", upDown, 15, 0},
        // 1 + (-2) * (3 s^2 - 2 s^3) with s = 0.25
        {"second segment, quarter way", upDown, 12.5f, 0.6875f},
    };
    for (size_t i = 0; i < std::size(cases); ++i)
        AddCurve("c" + std::to_string(i), cases[i].keys);
    Open();
    for (size_t i = 0; i < std::size(cases); ++i) {
        SCOPED_TRACE(cases[i].what);
        Smooth curve("c" + std::to_string(i));
        ASSERT_TRUE(curve.Load());
        EXPECT_NEAR(ValueAt(curve, cases[i].time), cases[i].expected, 1e-5);
    }
    EXPECT_TRUE(boxes.empty());
}

TEST_F(AnimCurveTest, StepCurveValues)
{
    const std::vector<Key> keys = {{0, 1, 7, 7}, {4, 0, 7, 7}};
    const ValueCase cases[] = {
        {"before the next key", keys, 3.9f, 1},
        {"at the next key", keys, 4, 0},
        {"before the first key", keys, -1, 1},
        {"after the last key", keys, 1000, 0},
    };
    AddCurve("vis", keys);
    Open();
    for (const ValueCase& c : cases) {
        SCOPED_TRACE(c.what);
        Step curve("vis");
        ASSERT_TRUE(curve.Load());
        EXPECT_EQ(ValueAt(curve, c.time), c.expected);
    }
}

TEST_F(AnimCurveTest, EvaluationOrderDoesNotChangeValues)
{
    const std::vector<Key> keys = {{0, 0, 0, 1}, {2, 3, -1, 2}, {5, -1, 0, 0}, {10, 4, 1, -2}, {12, 4, 0, 0}};
    AddCurve("many", keys);
    Open();
    const float times[] = {10, 2, 10, 0.5f, 11.5f, -3, 12, 4.99f, 5, 30, 1};

    Smooth smooth("many");
    Step step("many");
    ASSERT_TRUE(smooth.Load());
    ASSERT_TRUE(step.Load());
    for (float time : times) {
        SCOPED_TRACE(time);
        Smooth freshSmooth("many");
        Step freshStep("many");
        ASSERT_TRUE(freshSmooth.Load());
        ASSERT_TRUE(freshStep.Load());
        EXPECT_EQ(ValueAt(smooth, time), ValueAt(freshSmooth, time));
        EXPECT_EQ(ValueAt(step, time), ValueAt(freshStep, time));
    }
}

TEST_F(AnimCurveTest, SegmentSearchFindsTheLastKeyAtOrBeforeTheTime)
{
    AddCurve("s", {{0, 0, 0, 0}, {3, 0, 0, 0}, {3, 0, 0, 0}, {8, 0, 0, 0}});
    Open();
    InterpolatorBase<CONSTSEGMENT<float>> empty("none");
    EXPECT_EQ(empty.FindSegment(1), -1);

    InterpolatorBase<CONSTSEGMENT<float>> curve("s");
    ASSERT_TRUE(curve.Load());
    const struct {
        float time;
        int index;
    } steps[] = {{9, 3}, {3, 2}, {2.9f, 0}, {-4, 0}, {3, 2}, {8, 3}, {7.9f, 2}};
    for (const auto& s : steps) {
        SCOPED_TRACE(s.time);
        EXPECT_EQ(curve.FindSegment(s.time), s.index);
    }
}

TEST_F(AnimCurveTest, AfterTheLastKeyTheSegmentEndsAtTime200000)
{
    // The last key's segment ends at 200000 with its own value, leaving with the outgoing
    // slope and arriving with the incoming one.
    const Key last = {10, 3, 0.5f, 2};
    AddCurve("tail", {{0, 0, 0, 0}, last});
    Open();
    Smooth curve("tail");
    ASSERT_TRUE(curve.Load());
    const double d = 200000.0 - last.time;
    for (float time : {10.5f, 1000.0f, 150000.0f}) {
        SCOPED_TRACE(time);
        const double expected = HermiteReference(time - last.time, d, last.value, last.value, last.out, last.in);
        EXPECT_NEAR(ValueAt(curve, time), expected, 1e-4 * std::fabs(expected) + 1e-4);
    }
    const float slope = (ValueAt(curve, 10.25f) - ValueAt(curve, 10)) / 0.25f;
    EXPECT_NEAR(slope, last.out, 1e-3);
}

TEST_F(AnimCurveTest, ZeroLengthSegmentsStayFinite)
{
    // Two keys at one time: before them the curve holds the first key's value (continuing
    // along its outgoing slope of 0) instead of dividing by a zero length.
    AddCurve("jump", {{0, 1, 0, 0}, {0, 5, 0, 0}, {10, 5, 0, 0}});
    // A last key at the very end of the tail segment.
    AddCurve("end", {{200000, 4, 0, 3}});
    Open();
    Smooth jump("jump");
    ASSERT_TRUE(jump.Load());
    EXPECT_EQ(ValueAt(jump, -1), 1.0f);
    EXPECT_EQ(ValueAt(jump, 0), 5.0f);
    EXPECT_EQ(ValueAt(jump, 5), 5.0f);

    Smooth end("end");
    ASSERT_TRUE(end.Load());
    EXPECT_EQ(ValueAt(end, 200000), 4.0f);
    EXPECT_EQ(ValueAt(end, 200002), 10.0f);
}

TEST_F(AnimCurveTest, FileIsAnArrayOfLittleEndianKeysAndAPartialRecordIsIgnored)
{
    std::vector<unsigned char> bytes = {
        0x00, 0x00, 0x80, 0x3f, 0x00, 0x00, 0x00, 0x40, 0x00, 0x00, 0x40, 0x40, 0x00, 0x00, 0x80, 0xc0, // 1 2 3 -4
        0x00, 0x00, 0x20, 0x41, 0x00, 0x00, 0x00, 0x3f, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0xc0, 0x3f, // 10 .5 0 1.5
        0x00, 0x00, 0x80, 0x3f, 0x00, 0x00, 0x80, 0x3f,                                                 // 8 stray bytes
    };
    ASSERT_EQ(bytes.size(), 40u);
    AddBytes("forty", bytes);
    Open();
    InterpolatorBase<HERMITESEGMENT<float>> curve("forty");
    ASSERT_TRUE(curve.Load());
    ASSERT_EQ(curve.GetKeys().size(), 2u);
    const auto& k = curve.GetKeys();
    EXPECT_EQ(k[0].time, 1.0f);
    EXPECT_EQ(k[0].value, 2.0f);
    EXPECT_EQ(k[0].inTangent, 3.0f);
    EXPECT_EQ(k[0].outTangent, -4.0f);
    EXPECT_EQ(k[1].time, 10.0f);
    EXPECT_EQ(k[1].value, 0.5f);
    EXPECT_EQ(k[1].inTangent, 0.0f);
    EXPECT_EQ(k[1].outTangent, 1.5f);
}

TEST_F(AnimCurveTest, CurveWithoutAWholeKeyFailsWhenEvaluated)
{
    AddBytes("short", std::vector<unsigned char>(8, 0));
    Open();
    Smooth smooth("short");
    Step step("short");
    EXPECT_TRUE(smooth.Load()); // the file is there
    EXPECT_TRUE(step.Load());
    EXPECT_EQ(EvaluationError(smooth, 1), "No Keys in animation curve \"short\".");
    EXPECT_EQ(EvaluationError(step, 1), "No Keys in animation curve \"short\".");
    EXPECT_TRUE(boxes.empty());
}

TEST_F(AnimCurveTest, MissingCurvesShowOneBoxPerKindAndReadZero)
{
    AddCurve("there", {{0, 1, 0, 0}});
    Open();
    auto expectBox = [this](const std::string& name) {
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_EQ(boxes[0].owner, nullptr);
        EXPECT_EQ(boxes[0].caption, "File not found");
        EXPECT_EQ(boxes[0].text, "No animCurve found in filesystem corresponding to registered curve: \"" + name +
                                     "\".\n(Skipping further error messages)");
        EXPECT_EQ(boxes[0].type, MB_OK);
        boxes.clear();
    };

    Smooth present("there");
    EXPECT_TRUE(present.Load());
    EXPECT_TRUE(boxes.empty());

    Smooth first("cam.translateX");
    EXPECT_FALSE(first.Load());
    expectBox("cam.translateX");
    for (float time : {-5.0f, 0.0f, 5000.0f, 10000.0f, 50000.0f})
        EXPECT_EQ(ValueAt(first, time), 0.0f) << time;
    const auto& keys = first.GetInterpolator().GetKeys();
    ASSERT_EQ(keys.size(), 2u);
    EXPECT_EQ(keys[0].time, 0.0f);
    EXPECT_EQ(keys[1].time, 10000.0f);

    Smooth second("cam.translateY");
    EXPECT_FALSE(second.Load());
    EXPECT_TRUE(boxes.empty()); // later smooth failures are silent

    Step firstStep("box.visibility");
    EXPECT_FALSE(firstStep.Load());
    expectBox("box.visibility"); // step curves have a flag of their own
    EXPECT_EQ(ValueAt(firstStep, 3), 0.0f);
    Step secondStep("other.visibility");
    EXPECT_FALSE(secondStep.Load());
    EXPECT_TRUE(boxes.empty());

    ResetAnimCurveMessages(); // a new run reports again
    Smooth nextRun("cam.rotateZ");
    EXPECT_FALSE(nextRun.Load());
    expectBox("cam.rotateZ");
}

TEST_F(AnimCurveTest, ReloadStartsTheSearchAfresh)
{
    AddCurve("r", {{0, 0, 0, 0}, {5, 1, 0, 0}, {10, 2, 0, 0}});
    Open();
    Step curve("r");
    ASSERT_TRUE(curve.Load());
    EXPECT_EQ(ValueAt(curve, 20), 2.0f);
    // The fallback curve has fewer keys than the segment remembered.
    fileSys.reset();
    writer = ArchiveWriter();
    AddCurve("other", {{0, 0, 0, 0}});
    Open();
    EXPECT_FALSE(curve.Load());
    EXPECT_EQ(ValueAt(curve, 20), 0.0f);
}

} // namespace
