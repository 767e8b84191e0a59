// The installer screen's decisions: destination defaults, version file, texts at their
// boundaries, progress bar geometry.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "foundation/globals.h"
#include "installer/screen_logic.h"

namespace {
std::string versions(const std::string& text) { return version_from_lines(text.data(), text.data() + text.size()); }
}  // namespace

TEST(Destination, ParentFolderCutsAfterTheLastInnerSlash) {
  EXPECT_EQ(parent_folder("/Applications/"), "/");
  EXPECT_EQ(parent_folder("/a/b/c/"), "/a/b/");
  EXPECT_EQ(parent_folder("/a/b/c"), "/a/b/");
  EXPECT_EQ(parent_folder("/"), "/");
  EXPECT_EQ(parent_folder("a/"), "a/");
  EXPECT_EQ(parent_folder("abc"), "abc");
  EXPECT_EQ(parent_folder(""), "");
}

TEST(Destination, DefaultWalksUpToTheRootOrTheHomeFolder) {
  EXPECT_EQ(default_dest_from("/Applications/", ""), "/Volarium 9/");
  EXPECT_EQ(default_dest_from("/a/b/c/d/e/f/g/h/i/Applications/", ""), "/Volarium 9/");
  // Eleven levels: ten steps up leave the top one.
  EXPECT_EQ(default_dest_from("/a/b/c/d/e/f/g/h/i/j/Applications/", ""), "/a/Volarium 9/");
  EXPECT_EQ(default_dest_from("/home/ann/Applications/", "/home/ann/"), "/home/ann/Volarium 9/");
  // An applications folder outside home walks up to the root.
  EXPECT_EQ(default_dest_from("/opt/apps/", "/home/ann/"), "/Volarium 9/");
}

TEST(Destination, FinalSlashIsAddedOnce) {
  EXPECT_EQ(with_final_slash("/Foo"), "/Foo/");
  EXPECT_EQ(with_final_slash("/Foo/"), "/Foo/");
  EXPECT_EQ(with_final_slash(""), "");
}

TEST(Destination, DialogChoiceGetsTheProductFolderUnlessItHoldsOne) {
  EXPECT_EQ(dest_from_choice("/", false, no_install_name), "/Volarium 9/");
  EXPECT_EQ(dest_from_choice("/data", false, no_install_name), "/data/Volarium 9/");
  EXPECT_EQ(dest_from_choice("/data", false, "Volarium 9.00 Beta-25"), "/data/Volarium 9.00 Beta-25/");
  EXPECT_EQ(dest_from_choice("/data/sim", true, "Volarium 9.00 Beta-25"), "/data/sim/");
  EXPECT_EQ(dest_from_choice("/", true, no_install_name), "/");
}

TEST(Destination, ProductIsFourTopFoldersFoundByPartOfTheName) {
  std::string names[5] = {"Airfoils", "Instructions", "Output", "Old Resources", "notes.txt"};
  int kinds[5] = {1, 1, 1, 1, 0};
  EXPECT_EQ(names_hold_product(names, kinds, 5), 1);
  kinds[3] = 0;  // a file named like the folder does not count
  EXPECT_EQ(names_hold_product(names, kinds, 5), 0);
  kinds[3] = 1;
  EXPECT_EQ(names_hold_product(names, kinds, 3), 0);
  EXPECT_EQ(names_hold_product(names, kinds, 0), 0);
}

TEST(VersionFile, LastVersionLineWinsAndKeepsTrailingBlanks) {
  EXPECT_EQ(versions("VERSION Volarium 9.00 Beta-25\n"), "Volarium 9.00 Beta-25");
  EXPECT_EQ(versions("  \tVERSION\t Disc A \r\nVERSION Disc B\n"), "Disc B");
  EXPECT_EQ(versions("VERSION Disc A  \n"), "Disc A  ");
  EXPECT_EQ(versions("VERSIONS Disc A\nOTHER x\n"), "");
  EXPECT_EQ(versions("VERSION"), "");
  EXPECT_EQ(versions("VERSION x"), "x");
  const char with_nul[] = "VERSION ab\0cd\n";
  EXPECT_EQ(version_from_lines(with_nul, with_nul + sizeof with_nul - 1), "ab");
  EXPECT_EQ(versions(""), "");
}

TEST(VersionFile, UnsafeFolderNamesAreRefused) {
  EXPECT_TRUE(version_name_ok("Volarium 9.00 Beta-25"));
  for (const char* bad : {"", ".", "..", "a/b", "/", "../x", "a\\b"}) EXPECT_FALSE(version_name_ok(bad)) << bad;
}

// What the status line says about a refused version folder name.
TEST(VersionFile, RefusedNamesSayWhy) {
  EXPECT_EQ(version_name_problem("Volarium 9.00 Beta-25"), "");
  const std::pair<const char*, const char*> cases[] = {
      {"", "This DVD cannot be used: its version file names no version folder."},
      {"..", "This DVD cannot be used: its version file names '..', which is not a folder on the DVD."},
      {".", "This DVD cannot be used: its version file names '.', which is not a folder on the DVD."},
      {"/", "This DVD cannot be used: its version file names '/', a path that could lead off the DVD."},
      {"../x", "This DVD cannot be used: its version file names '../x', a path that could lead off the DVD."},
      {"a\\b", "This DVD cannot be used: its version file names 'a\\b', a path that could lead off the DVD."},
  };
  for (const auto& [name, why] : cases) EXPECT_EQ(version_name_problem(name), why) << name;
  // While looking for a disc the reason takes the status line, in the warning colour.
  const screen_line line = status_line(0, 0, 0, false, version_name_problem(".."));
  EXPECT_EQ(line.text, version_name_problem(".."));
  EXPECT_EQ(line.colour, 1);
  EXPECT_EQ(status_line(0, 0, 0, false, "").text, "I am looking for an Volarium DVD now...");
  EXPECT_EQ(status_line(1, 0, 0, false, "why").text, "Installation Complete!");
}

TEST(Texts, SizesSwitchToGigAtAThousandMegabytes) {
  EXPECT_EQ(size_text(1500.0f), "1.5 Meg");
  EXPECT_EQ(size_text(999999.0f), "1000.0 Meg");
  EXPECT_EQ(size_text(1000000.0f), "1.0 Gig");
  EXPECT_EQ(size_text(2500000.0f), "2.5 Gig");
  EXPECT_EQ(size_text(0.0f), "0.0 Meg");
}

TEST(Texts, StatusLineFollowsItsPrecedence) {
  EXPECT_EQ(status_line(1, 2, 1, true).text, "Installation Complete!");
  EXPECT_EQ(status_line(1, 2, 1, true).colour, 13);
  EXPECT_EQ(status_line(0, 0, 1, true).text, "I am looking for an Volarium DVD now...");
  EXPECT_EQ(status_line(0, 1, 1, true).text, "I am reading the Volarium DVD now...");
  const screen_line bad = status_line(0, 2, 1, true);
  EXPECT_EQ(bad.text, "I need an Volarium DVD to install this from the DVD!");
  EXPECT_EQ(bad.colour, 1);
  EXPECT_EQ(status_line(0, 3, 1, false).text, "I am installing this now...");
  EXPECT_EQ(status_line(0, 3, 0, true).text, "Not Installed in the selected directory!");
  EXPECT_EQ(status_line(0, 3, 2, false).text, "Already installed in the selected directory!");
  EXPECT_EQ(status_line(0, 3, 2, false).colour, 46);
}

TEST(Texts, DiskSpaceCases) {
  int ok = 7;
  idle_lines l = idle_messages(0, true, 100.0f, 1e6f, "V", &ok);
  EXPECT_EQ(l.l[0].text, "Please insert an Volarium 9 DVD to begin.");
  EXPECT_EQ(l.l[1].text, "");
  EXPECT_EQ(ok, 7);

  l = idle_messages(3, false, 0.0f, 1e6f, "V", &ok);
  EXPECT_EQ(l.l[0].text, "Volarium is already installed at this location.");
  EXPECT_EQ(l.l[1].text, "You can change the destination to install a second copy of Volarium.");
  EXPECT_EQ(ok, 7);

  l = idle_messages(3, true, 1500.0f, 2500000.0f, "Disc 1", &ok);
  EXPECT_EQ(l.l[0].text, "You are about to install 1.5 Meg of files to get Disc 1.");
  EXPECT_EQ(l.l[1].text, "You have 2.5 Gig of drive space available for the selected directory.");
  EXPECT_EQ(l.l[2].text, "Click Install to begin.");
  EXPECT_EQ(l.l[2].colour, 13);
  EXPECT_EQ(ok, 1);

  // Exactly the space needed is not enough.
  l = idle_messages(3, true, 1500.0f, 1500.0f, "Disc 1", &ok);
  EXPECT_EQ(l.l[2].text, "You don't have enough disk space to install this!");
  EXPECT_EQ(l.l[2].colour, 1);
  EXPECT_EQ(ok, 0);

  // What the files take on the volume, in whole blocks, must fit, not just the listed size.
  l = idle_messages(3, true, 1500.0f, 2500.0f, "Disc 1", &ok, 2600.0f);
  EXPECT_EQ(ok, 0);

  // Unknown free space keeps the last verdict and shows no space line.
  l = idle_messages(3, true, 1500.0f, -1.0f, "Disc 1", &ok);
  EXPECT_EQ(l.l[1].text, "");
  EXPECT_EQ(l.l[2].text, "");
  EXPECT_EQ(ok, 0);
  // A full volume is known to be full; deleting alone needs no room.
  for (const float room : {1500.0f, 0.0f}) EXPECT_EQ((idle_messages(3, true, 1500.0f, 0.0f, "V", &ok, room), ok), room > 0 ? 0 : 1);
}

TEST(Texts, InstallNeedsSpaceAScanAndWork) {
  EXPECT_EQ(install_enabled(1, 0, 3, true), 1);
  EXPECT_EQ(install_enabled(0, 0, 3, true), 0);
  EXPECT_EQ(install_enabled(1, 1, 3, true), 0);
  EXPECT_EQ(install_enabled(1, 0, 2, true), 0);
  EXPECT_EQ(install_enabled(1, 0, 3, false), 0);
  EXPECT_EQ(install_enabled(1, 2, 3, true), 1);
}

TEST(Texts, TimeLeftUnitsAtTheirBoundaries) {
  EXPECT_EQ(time_left_text(0.0), "0 seconds");
  EXPECT_EQ(time_left_text(119.9), "119 seconds");
  EXPECT_EQ(time_left_text(120.0), "2 minutes");
  EXPECT_EQ(time_left_text(7199.0), "119 minutes");
  EXPECT_EQ(time_left_text(7200.0), "2 hours");
  EXPECT_EQ(time_left_text(-5.0), "0 seconds");
  EXPECT_EQ(time_left_text(1e300), "277777 hours");
}

TEST(Texts, InstallingLinesByPhase) {
  idle_lines l = installing_messages(0, "a.zip", 0.5f, 1500.0f, "3.0 Meg", 10, 5, 10.0f);
  EXPECT_EQ(l.l[0].text, "Deleting a.zip because that file is no longer needed!");
  EXPECT_EQ(l.l[1].text, "50.0% done with the DVD install, having installed 1.5 Meg of 3.0 Meg for the DVD install.");
  // 5 of 10 files in 10 s: 10 s left; 1500 kB in 10 s.
  EXPECT_EQ(l.l[2].text, "About 10 seconds left in the install, installing at 150 kilobytes/second.");
  EXPECT_EQ(installing_messages(1, "b.zip", 0, 0, "", 1, 0, 1).l[0].text, "Reading and installing file b.zip.");
  EXPECT_EQ(installing_messages(2, "c", 0, 0, "", 1, 0, 1).l[0].text,
            "duplicate filename through file c, but not installing it because you already have this file.");
  EXPECT_EQ(installing_messages(3, "d", 0, 0, "", 1, 0, 1).l[0].text,
            "Browsing through file d, but not installing it because you don't need this file.");
}

TEST(Texts, NoTimeLeftBeforeOnePercentOrTheFirstFile) {
  EXPECT_EQ(installing_messages(1, "x", 0.01f, 10.0f, "1.0 Meg", 10, 5, 10.0f).l[2].text, "");
  EXPECT_NE(installing_messages(1, "x", 0.011f, 10.0f, "1.0 Meg", 10, 5, 10.0f).l[2].text, "");
  // No file finished yet: no estimate rather than a division by zero.
  EXPECT_EQ(installing_messages(1, "x", 0.5f, 10.0f, "1.0 Meg", 10, 0, 10.0f).l[2].text, "");
  // Elapsed time below one second counts as one; a file index past the end leaves 0 s.
  EXPECT_EQ(installing_messages(1, "x", 0.5f, 10.0f, "1.0 Meg", 10, 12, 0.2f).l[2].text,
            "About 0 seconds left in the install, installing at 10 kilobytes/second.");
  // Ratios out of range are clamped in the percentage.
  EXPECT_EQ(installing_messages(1, "x", 3.0f, 10.0f, "1.0 Meg", 10, 1, 1.0f).l[1].text.substr(0, 6), "100.0%");
}

TEST(Texts, InstallRatioIsClamped) {
  EXPECT_FLOAT_EQ(install_ratio(50.0f, 100.0f), 0.5f);
  EXPECT_FLOAT_EQ(install_ratio(150.0f, 100.0f), 1.0f);
  EXPECT_FLOAT_EQ(install_ratio(-1.0f, 100.0f), 0.0f);
  EXPECT_FLOAT_EQ(install_ratio(5.0f, 0.0f), 0.0f);
}

TEST(Geometry, ProgressTrackOfTheScreen) {
  bar_geom t = progress_track(132.0f, 1016.0f);
  EXPECT_FLOAT_EQ(t.centre, 574.0f);
  EXPECT_FLOAT_EQ(t.width, 884.0f);
  t = progress_track(0.0f, 10.0f);  // halves go away from zero
  EXPECT_FLOAT_EQ(t.centre, 6.0f);
  EXPECT_FLOAT_EQ(t.width, 12.0f);
}

TEST(Geometry, ProgressFillShowsAboveTwoPercentWhileInstalling) {
  EXPECT_FLOAT_EQ(progress_fill(132.0f, 1016.0f, 0.5f, false).width, 0.0f);
  EXPECT_FLOAT_EQ(progress_fill(132.0f, 1016.0f, 0.02f, true).width, 0.0f);
  bar_geom f = progress_fill(132.0f, 1016.0f, 0.5f, true);
  // i2 = 132 + 442 = 574: centre 2*round(706/4) = 354, width 4*round(442/4) = 444.
  EXPECT_FLOAT_EQ(f.centre, 354.0f);
  EXPECT_FLOAT_EQ(f.width, 444.0f);
  f = progress_fill(132.0f, 1016.0f, 1.0f, true);
  EXPECT_FLOAT_EQ(f.centre, 574.0f);
  EXPECT_FLOAT_EQ(f.width, 884.0f);
  EXPECT_FLOAT_EQ(progress_fill(132.0f, 1016.0f, 7.0f, true).width, 884.0f);
  EXPECT_EQ(static_cast<int>(f.centre) % 2, 0);
  EXPECT_EQ(static_cast<int>(progress_fill(132.0f, 1016.0f, 0.337f, true).width) % 4, 0);
}

TEST(Geometry, ScanFractionLimits) {
  EXPECT_FLOAT_EQ(scan_fraction(0, 0, 10), 0.04f);
  EXPECT_FLOAT_EQ(scan_fraction(0, -5, 10), 0.04f);
  EXPECT_FLOAT_EQ(scan_fraction(0, 10, 10), 1.0f);
  EXPECT_FLOAT_EQ(scan_fraction(0, 20, 10), 1.0f);
  EXPECT_FLOAT_EQ(scan_fraction(0, 5, 10), 0.52f);
  EXPECT_FLOAT_EQ(scan_fraction(3, 3, 3), 0.52f);
  EXPECT_FLOAT_EQ(scan_fraction(0, 2.5f, 10), 0.28f);
  EXPECT_EQ(scan_middle_line(0), "Currently SCANNING the directory text file.");
  EXPECT_EQ(scan_middle_line(1), "Currently EXAMINING the hard disk.");
  EXPECT_EQ(scan_middle_line(2), "");
}

TEST(Question, TextsForDeletingAndOverwriting) {
  question_texts d = question_texts_for(1);
  EXPECT_EQ(d.first, "I am about to DELETE:");
  EXPECT_EQ(d.third, "because we no longer use this file, but it appears you have modified it. What to do?");
  EXPECT_EQ(d.act, "DELETE THE OLD FILE");
  EXPECT_EQ(d.act_all, "DELETE EVERY OLD FILE IN THIS DIRECTORY");
  question_texts o = question_texts_for(0);
  EXPECT_EQ(o.first, "I am about to install:");
  EXPECT_EQ(o.third, "but it appears you have modified this file. What to do?");
  EXPECT_EQ(o.act, "OVERWRITE THE OLD FILE");
  EXPECT_EQ(o.act_all, "OVERWRITE EVERY OLD FILE IN THIS DIRECTORY");
  EXPECT_EQ(o.keep, "KEEP THE OLD FILE");
  EXPECT_EQ(o.keep_all, "KEEP EVERY OLD FILE IN THIS DIRECTORY");
  EXPECT_EQ(o.cancel, "CANCEL THE WHOLE INSTALLATION!");
}

TEST(Agreement, TextEndsWithAnEmptyParagraph) {
  int n = 0;
  while (eula_paragraphs[n][0]) ++n;
  EXPECT_GE(n, 3);
  EXPECT_NE(std::strstr(eula_paragraphs[n - 1], "Accept"), nullptr);
}
