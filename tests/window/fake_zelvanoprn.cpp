// Stands in for the print program: writes the arguments it received, one per line after
// their count, to "args.txt" beside the file it was given.
#include <cstdio>
#include <string>

int main(int argc, char **argv)
{
    std::string out = argc > 1 ? std::string(argv[1]) : std::string("noarg");
    const auto slash = out.find_last_of('/');
    out = (slash == std::string::npos ? std::string(".") : out.substr(0, slash)) + "/args.txt";
    FILE *f = std::fopen((out + ".part").c_str(), "w");
    if (!f)
        return 1;
    std::fprintf(f, "%d\n", argc - 1);
    for (int i = 1; i < argc; ++i)
        std::fprintf(f, "%s\n", argv[i]);
    std::fclose(f);
    std::rename((out + ".part").c_str(), out.c_str());
    return 0;
}
