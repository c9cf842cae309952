# Plants the symbolic links the link-refusal test in logging_test meets: Wine 8 makes none itself
# (CreateSymbolicLink answers success and does nothing). Run by ctest before that suite.
#   cmake -DFOLDER=<folder> -P plant_links.cmake
file(REMOVE_RECURSE "${FOLDER}")
file(MAKE_DIRECTORY "${FOLDER}")
file(WRITE "${FOLDER}/precious-current.txt" "precious, not the log's\n")
file(WRITE "${FOLDER}/precious-older.txt" "precious, not the log's\n")
file(CREATE_LINK precious-current.txt "${FOLDER}/current-link.log" SYMBOLIC)
file(CREATE_LINK never-created.txt "${FOLDER}/dangling-link.log" SYMBOLIC)
file(CREATE_LINK precious-older.txt "${FOLDER}/rolled.old.log" SYMBOLIC)
