// Pinning the PDF writer's date stamp, in place.
#include <gtest/gtest.h>

#include <stable_pdf.h>

namespace {

QByteArray Pdf(const char* date) {
  return QByteArrayLiteral("%PDF-1.4\n1 0 obj\n<<\n/Producer (Qt)\n/CreationDate (") + date +
         QByteArrayLiteral(")\n>>\nendobj\nxref\n");
}

TEST(StablePdfTest, BothFormsOfTheDateArePinnedAtTheSameLength) {
  for (const char* date : {"D:20261207122723Z", "D:20261207202723+08'00'"}) {
    QByteArray pdf = Pdf(date);
    const qsizetype size = pdf.size();
    ASSERT_TRUE(MakePdfStable(pdf)) << date;
    EXPECT_EQ(pdf.size(), size);  // the cross-reference offsets stay right
    EXPECT_FALSE(pdf.contains(date));
    EXPECT_TRUE(pdf.contains("/CreationDate (D:20250214000000")) << pdf.constData();
  }
  // Two stamps taken at different times come out the same.
  QByteArray early = Pdf("D:20200101000000Z");
  QByteArray late = Pdf("D:20351231235959Z");
  ASSERT_TRUE(MakePdfStable(early));
  ASSERT_TRUE(MakePdfStable(late));
  EXPECT_EQ(early, late);
}

TEST(StablePdfTest, UnknownOrMissingStampsLeaveTheBytesAlone) {
  for (const QByteArray& original :
       {QByteArrayLiteral("%PDF-1.4\nno info here\n"), Pdf("D:2026"), Pdf("today"),
        QByteArrayLiteral("%PDF-1.4\n/CreationDate (D:20261207122723Z")}) {
    QByteArray pdf = original;
    EXPECT_FALSE(MakePdfStable(pdf)) << original.constData();
    EXPECT_EQ(pdf, original);
  }
}

}  // namespace
