// volarium-installer: the main-disc edition of the installer.
int installer_main(int argc, char** argv);

int main(int argc, char** argv) { return installer_main(argc, argv); }
