# The build stamp of a built program, read from what its --version prints ("сборка 20261210.63082 (10.12.2026
# 17:31:22)"), so that the package always names the stamp of the program it holds. The package's version is the
# project's version with the stamp after a plus (1.0.0+20261210.63082): of two packages of one version, the newer
# build is the greater version for dpkg, as it is for the database.
#
# Included by CPack (the package's version) and by the installation (the changelog); both run the program of the
# build tree, which needs neither a display nor a database for --version.

# kesta_build_stamp(PROGRAM STAMP_VAR MOMENT_VAR): STAMP_VAR gets "20261210.63082", MOMENT_VAR "2026-12-10 17:31:22".
function(kesta_build_stamp program stamp_var moment_var)
    execute_process(COMMAND "${program}" --version OUTPUT_VARIABLE out ERROR_VARIABLE err RESULT_VARIABLE rc)
    if(NOT rc EQUAL 0)
        message(FATAL_ERROR "${program} --version failed (${rc}): ${err}\nBuild the program before packaging it.")
    endif()
    set(two "[0-9][0-9]")
    if(NOT out MATCHES "\n[^\n ]+ ([0-9]+\\.[0-9]+) \\((${two})\\.(${two})\\.(${two}${two}) (${two}:${two}:${two})\\)")
        message(FATAL_ERROR "${program} --version printed no build stamp:\n${out}")
    endif()
    set(${stamp_var} "${CMAKE_MATCH_1}" PARENT_SCOPE)
    set(${moment_var} "${CMAKE_MATCH_4}-${CMAKE_MATCH_3}-${CMAKE_MATCH_2} ${CMAKE_MATCH_5}" PARENT_SCOPE)
endfunction()

# kesta_write_changelog(PROGRAM VERSION MAINTAINER TEMPLATE DIR): DIR/changelog.gz, the Debian changelog of the
# package, its entry dated at the build's moment in the build machine's time zone, compressed as Debian keeps it.
function(kesta_write_changelog program version maintainer template dir)
    kesta_build_stamp("${program}" stamp moment)
    set(PACKAGE_VERSION "${version}+${stamp}")
    set(PROJECT_VERSION "${version}")
    set(BUILD_STAMP "${stamp}")
    set(MAINTAINER "${maintainer}")
    execute_process(COMMAND date -R -d "${moment}" OUTPUT_VARIABLE DATE OUTPUT_STRIP_TRAILING_WHITESPACE
                    RESULT_VARIABLE rc)
    if(NOT rc EQUAL 0)
        message(FATAL_ERROR "date could not read the build's moment ${moment}")
    endif()
    file(MAKE_DIRECTORY "${dir}")
    configure_file("${template}" "${dir}/changelog" @ONLY)
    execute_process(COMMAND gzip -9nf "${dir}/changelog" RESULT_VARIABLE rc)
    if(NOT rc EQUAL 0)
        message(FATAL_ERROR "gzip could not compress ${dir}/changelog")
    endif()
endfunction()
