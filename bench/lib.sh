# Shared by the bench scripts (sourced, not run).

# copy_program_folder BUILT DEST: a private copy of the built program folder,
# without the settings a user's runs of it may have left there.
copy_program_folder() {
    mkdir -p "$2"
    for f in "$1"/*; do
        case "$(basename "$f")" in
            options.ini|config.ini|DirectShow.avs) ;;
            *) cp -r "$f" "$2/" ;;
        esac
    done
}
