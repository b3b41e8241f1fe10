# fish completion for kavendrum-cli

set -l commands split verify repair merge options

complete -c kavendrum-cli -f
complete -c kavendrum-cli -n "not __fish_seen_subcommand_from $commands" -a split -d 'Cut a file into pieces'
complete -c kavendrum-cli -n "not __fish_seen_subcommand_from $commands" -a verify -d 'Check the pieces a head file names'
complete -c kavendrum-cli -n "not __fish_seen_subcommand_from $commands" -a repair -d 'Rebuild missing or damaged pieces from the recovery files'
complete -c kavendrum-cli -n "not __fish_seen_subcommand_from $commands" -a merge -d 'Join the pieces a head file names'
complete -c kavendrum-cli -n "not __fish_seen_subcommand_from $commands" -a options -d 'Show, reset or set the options'

complete -c kavendrum-cli -l yes -d 'Answer OK to every question'
complete -c kavendrum-cli -l no -d 'Answer Cancel to every question'
complete -c kavendrum-cli -s q -l quiet -d 'Show no progress; twice, as --silent'
complete -c kavendrum-cli -l silent -d 'Show neither progress nor success messages'
complete -c kavendrum-cli -l progress -d 'Show progress also when standard error is no terminal'
complete -c kavendrum-cli -l options-file -r -F -d 'Use this option file'
complete -c kavendrum-cli -l version -d 'Show the version'
complete -c kavendrum-cli -s h -l help -d 'Show help'

complete -c kavendrum-cli -n '__fish_seen_subcommand_from split' -F
complete -c kavendrum-cli -n '__fish_seen_subcommand_from split' -l size -x -a 'fat32 email' -d 'Bytes per piece, such as 25M'
complete -c kavendrum-cli -n '__fish_seen_subcommand_from split' -l pieces -x -d 'Cut into exactly this many pieces'
complete -c kavendrum-cli -n '__fish_seen_subcommand_from split' -l name -x -d 'With SOURCE -, the name the data stands for'
complete -c kavendrum-cli -n '__fish_seen_subcommand_from split' -l checksums -d 'Write base.sha256, which sha256sum -c can check (the default)'
complete -c kavendrum-cli -n '__fish_seen_subcommand_from split' -l no-checksums -d 'Leave base.sha256 out'
complete -c kavendrum-cli -n '__fish_seen_subcommand_from split' -l recovery -x -a '1 2 5% 10%' -d 'Write recovery files that can rebuild N lost pieces, or P% of them'
complete -c kavendrum-cli -n '__fish_seen_subcommand_from split repair merge' -l memory -x -d 'Recovery data held in memory at once, such as 512M'

complete -c kavendrum-cli -n '__fish_seen_subcommand_from verify repair merge' -k -a '(__fish_complete_suffix .kdh | string match -r -- \'^.*[.]kdh$|^.*/$\')'
complete -c kavendrum-cli -n '__fish_seen_subcommand_from merge' -l dest -x -a '(__fish_complete_directories)' -d 'Folder for the rebuilt file'
complete -c kavendrum-cli -n '__fish_seen_subcommand_from merge' -l prefix -x -d 'Name the rebuilt file after this'
complete -c kavendrum-cli -n '__fish_seen_subcommand_from merge' -l stdout -d 'Write the rebuilt file to standard output'

complete -c kavendrum-cli -n '__fish_seen_subcommand_from options; and not __fish_seen_subcommand_from show reset set' -a 'show reset set'
# The option fields with the names of their values, one field a line.
set -l setting '__fish_seen_subcommand_from options; and __fish_seen_subcommand_from set'
complete -c kavendrum-cli -n $setting -a 'splitFolderMode=create splitFolderMode=ask' -d 'Option field'
complete -c kavendrum-cli -n $setting -a 'deleteAfterSplit=keep deleteAfterSplit=delete' -d 'Option field'
complete -c kavendrum-cli -n $setting -a 'mergeFolderMode=create mergeFolderMode=ask' -d 'Option field'
complete -c kavendrum-cli -n $setting -a 'deleteAfterMerge=keep deleteAfterMerge=delete' -d 'Option field'
complete -c kavendrum-cli -n $setting -a 'verifyBeforeMerge=skip verifyBeforeMerge=verify' -d 'Option field'
complete -c kavendrum-cli -n $setting -a 'overwriteMode=always overwriteMode=ask' -d 'Option field'
