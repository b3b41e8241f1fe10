#include "cli/help_text.h"

#include "cli/size_text.h"
#include "options/option_fields.h"

namespace kavendrum {

namespace {

const char* const kExitStatuses =
    "Exit status:\n"
    "  0  done\n"
    "  1  failed; the message on standard error says why\n"
    "  2  the command line could not be read\n"
    "  3  a question was answered Cancel (also when there was no terminal to ask on)\n";

}  // namespace

std::string MainHelpFooter() {
    return std::string(
               "Examples:\n"
               "  kavendrum-cli split movie.avi /media/stick --size fat32\n"
               "  tar c photos | kavendrum-cli split - backup --name photos.tar --size 650M\n"
               "  kavendrum-cli merge backup/photos.kdh --stdout | tar x\n"
               "\n"
               "Sizes: K, M, G (and KiB, MiB, GiB) count in 1024s; KB, MB, GB in 1000s;\n"
               "fat32 and email are named sizes (see split --help).\n"
               "See kavendrum-cli(1) for the files, the options and rejoining with the shell.\n"
               "\n") +
           kExitStatuses;
}

std::string SplitHelpFooter() {
    return std::string(
               "Examples:\n"
               "  kavendrum-cli split movie.avi pieces --size 25M\n"
               "  kavendrum-cli split movie.avi /media/stick --size fat32\n"
               "  kavendrum-cli split movie.avi pieces --pieces 4\n"
               "  kavendrum-cli split movie.avi pieces --size 25M --recovery 2\n"
               "  pg_dump shop | kavendrum-cli split - dumps --name shop.sql --size 1G\n"
               "\n") +
           AcceptedSizeForms() +
           "\n"
           "The email size: base64 makes 4 characters of every 3 bytes, in lines of 76\n"
           "characters ended by CR LF; " +
           std::to_string(kEmailSize) + " bytes become " +
           std::to_string(MailEncodedSize(kEmailSize)) + ", the most that fits\n" +
           std::to_string(kMailAttachmentLimit) +
           " (the message's own headers are not counted).\n"
           "A piece holds 1 to 4294967295 bytes. SOURCE - reads standard input to its end;\n"
           "--name then gives the file's name. The checksum file base.sha256 is written\n"
           "unless --no-checksums is given.\n"
           "\n" +
           kExitStatuses;
}

std::string VerifyHelpFooter() {
    return std::string(
               "Each piece is shown as a row: Good or Bad, its expected size, its path; then\n"
               "Passed or Failed.\n"
               "\n"
               "Examples:\n"
               "  kavendrum-cli verify pieces/movie.kdh\n"
               "  kavendrum-cli verify movie.kdh | grep ^Bad\n"
               "\n") +
           kExitStatuses;
}

std::string RepairHelpFooter() {
    return std::string(
               "Rebuilds missing and damaged pieces from base.par2 and base.vol*.par2 beside the\n"
               "head file, as split --recovery or any PAR2 tool writes them. A rebuilt piece\n"
               "takes its place only once it checks; a good piece is never written. Without\n"
               "Kavendrum: par2 repair base.par2\n"
               "\n"
               "Examples:\n"
               "  kavendrum-cli repair pieces/movie.kdh\n"
               "\n") +
           kExitStatuses;
}

std::string MergeHelpFooter() {
    return std::string(
               "Examples:\n"
               "  kavendrum-cli merge pieces/movie.kdh\n"
               "  kavendrum-cli merge movie.kdh --dest ~/films --prefix holiday\n"
               "  kavendrum-cli merge backup.kdh --stdout | tar x\n"
               "\n"
               "With --stdout only the rebuilt file's bytes go to standard output, messages go to\n"
               "standard error, and the pieces are kept whatever deleteAfterMerge says.\n"
               "\n") +
           kExitStatuses;
}

std::string OptionsHelpFooter() {
    std::string fields =
        "Fields (set FIELD=VALUE; VALUE is a name or its number, any other number\n"
        "counting as the name it behaves as):\n";
    for (const auto& field : OptionFields()) {
        const auto value = [&](const OptionValueName& named) {
            return std::string(named.name) + " (" + std::to_string(named.number) +
                   (field.DefaultValue() == named.number ? ", the default)" : ")");
        };
        std::string name(field.name);
        name.resize(19, ' ');
        fields += "  " + name + value(field.off) + " or " + value(field.on) + "\n" +
                  std::string(21, ' ') + std::string(field.caption) + "\n";
    }
    return fields +
           "\n"
           "Examples:\n"
           "  kavendrum-cli options\n"
           "  kavendrum-cli options set overwriteMode=always verifyBeforeMerge=verify\n"
           "  kavendrum-cli --yes options reset\n"
           "\n" +
           kExitStatuses;
}

}  // namespace kavendrum
