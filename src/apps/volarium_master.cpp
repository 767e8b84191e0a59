// volarium-master: the master-building edition, which writes install discs.
int master_main(int argc, char** argv);

int main(int argc, char** argv) { return master_main(argc, argv); }
