// Keys and signatures in the minisign tool's formats, checked both ways against the real tool.

#include <gtest/gtest.h>

#include <string>

#include "Setup.Minisign.h"
#include "platform/FileSystem.h"
#include "support/RunProgram.h"
#include "support/TempDir.h"

namespace {

constexpr char Minisign[] = "/usr/bin/minisign";

class MinisignFormats : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!platform::FileExists(Minisign)) GTEST_SKIP() << "minisign is not installed (Debian package minisign)";
    Dir.WriteFile("message.txt", "Опись пакета\nfile 1 ...\n");
  }
  int RunMinisign(const std::string& script) {
    return RunProgram({"/bin/bash", "-c", "cd '" + Dir.Path() + "' && " + script}, Dir.File("out.txt"), Dir.File("err.txt"));
  }
  std::string Message() const { return Dir.ReadFile("message.txt"); }
  TTempDir Dir;
};

TEST_F(MinisignFormats, KeysOfTheToolSignWhatTheToolVerifiesAndTheOtherWayRound) {
  // The tool's unprotected and password-protected keys, read here; signatures made here, checked by the tool.
  ASSERT_EQ(RunMinisign("minisign -G -W -p plain.pub -s plain.key"), 0) << Dir.ReadFile("err.txt");
  ASSERT_EQ(RunMinisign("printf 'пароль 1\\nпароль 1\\n' | minisign -G -p locked.pub -s locked.key"), 0)
      << Dir.ReadFile("err.txt");
  EXPECT_FALSE(IsMinisignSecretKeyProtected(Dir.ReadFile("plain.key")));
  EXPECT_TRUE(IsMinisignSecretKeyProtected(Dir.ReadFile("locked.key")));
  int asked = 0;
  const TMinisignSecretKey plain = ReadMinisignSecretKey(Dir.ReadFile("plain.key"), [&] { ++asked; return std::string(); });
  const TMinisignSecretKey locked = ReadMinisignSecretKey(Dir.ReadFile("locked.key"), [&] { ++asked; return std::string("пароль 1"); });
  EXPECT_EQ(asked, 1);
  EXPECT_THROW(ReadMinisignSecretKey(Dir.ReadFile("locked.key"), [] { return std::string("пароль 2"); }), EMinisignError);
  for (const auto& [key, pub] : {std::pair{plain, "plain.pub"}, std::pair{locked, "locked.pub"}}) {
    EXPECT_EQ(ReadMinisignPublicKey(Dir.ReadFile(pub)).Id, key.Id);
    Dir.WriteFile("message.txt.minisig", MinisignSignatureText(key, Message(), "timestamp:1\tfile:message.txt"));
    EXPECT_EQ(RunMinisign(std::string("minisign -Vm message.txt -p ") + pub), 0) << pub << Dir.ReadFile("err.txt");
    EXPECT_NE(Dir.ReadFile("out.txt").find("timestamp:1\tfile:message.txt"), std::string::npos);
  }

  // A key made here, used by the tool; its signatures (prehashed by default, legacy with -l) verify here.
  const TMinisignKeyPair ours = NewMinisignKeyPair();
  Dir.WriteFile("ours.key", MinisignSecretKeyText(ours.Secret));
  Dir.WriteFile("ours.pub", MinisignPublicKeyText(ours.Public));
  for (const std::string flags : {"", " -l"}) {
    ASSERT_EQ(RunMinisign("minisign -S" + flags + " -s ours.key -m message.txt -t 'выпуск 7'"), 0) << Dir.ReadFile("err.txt");
    const TMinisignSignature signature = ReadMinisignSignature(Dir.ReadFile("message.txt.minisig"));
    EXPECT_EQ(signature.Prehashed, flags.empty());
    EXPECT_EQ(signature.TrustedComment, "выпуск 7");
    EXPECT_TRUE(VerifyMinisignSignature(ReadMinisignPublicKey(Dir.ReadFile("ours.pub")), signature, Message()));
  }
  ASSERT_EQ(RunMinisign("minisign -Vm message.txt -p ours.pub -o >/dev/null"), 0);
}

TEST(MinisignSignature, AnyChangeToMessageCommentSignatureOrKeyFailsTheCheck) {
  const TMinisignKeyPair key = NewMinisignKeyPair(), other = NewMinisignKeyPair();
  const std::string message = "file 3 abc settings.ini\n";
  const TMinisignSignature good = ReadMinisignSignature(MinisignSignatureText(key.Secret, message, "version 7"));
  ASSERT_TRUE(VerifyMinisignSignature(key.Public, good, message));
  EXPECT_FALSE(VerifyMinisignSignature(key.Public, good, "file 3 abd settings.ini\n"));
  EXPECT_FALSE(VerifyMinisignSignature(other.Public, good, message));
  TMinisignPublicKey sameIdOtherKey = other.Public;
  sameIdOtherKey.Id = key.Public.Id;
  EXPECT_FALSE(VerifyMinisignSignature(sameIdOtherKey, good, message));
  TMinisignSignature comment = good;
  comment.TrustedComment = "version 8";
  EXPECT_FALSE(VerifyMinisignSignature(key.Public, comment, message));
  TMinisignSignature flipped = good;
  flipped.Signature[10] ^= 1;
  EXPECT_FALSE(VerifyMinisignSignature(key.Public, flipped, message));
  TMinisignSignature global = good;
  global.GlobalSignature[0] ^= 0x80;
  EXPECT_FALSE(VerifyMinisignSignature(key.Public, global, message));
}

TEST(MinisignFiles, TextsNotInTheFormatAreRefused) {
  const TMinisignKeyPair key = NewMinisignKeyPair();
  const std::string pub = MinisignPublicKeyText(key.Public);
  const std::string sig = MinisignSignatureText(key.Secret, "m", "c");
  const std::string sec = MinisignSecretKeyText(key.Secret);
  for (const std::string& text : {std::string(), pub.substr(pub.find('\n') + 1), std::string("untrusted comment: x\nRWQ=\n"),
                                  pub.substr(0, pub.size() - 3) + "\n", sig})
    EXPECT_THROW(ReadMinisignPublicKey(text), EMinisignError) << text;
  std::string damagedKey = sec;
  damagedKey[damagedKey.size() - 20] = damagedKey[damagedKey.size() - 20] == 'A' ? 'B' : 'A';
  for (const std::string& text : {pub, damagedKey})
    EXPECT_THROW(ReadMinisignSecretKey(text, [] { return std::string(); }), EMinisignError) << text;
  const std::string withoutComment = sig.substr(0, sig.find("\ntrusted comment") + 1);
  for (const std::string& text : {pub, withoutComment, sig.substr(0, sig.rfind('\n', sig.size() - 2) + 1) + "!!\n"})
    EXPECT_THROW(ReadMinisignSignature(text), EMinisignError) << text;
}

}  // namespace
