# The four SQL scripts are kept in resources/ as UTF-8 text with LF line
# ends. The build stores each one as the wizard reads it (code page 936
# bytes, CR LF, NUL padding to a multiple of four) and embeds it into
# t7_wizard as a resource of type "CUSTOM".
set(T7_SCRIPT_RESOURCES T7SQL T7DATA T7UPDATE OSTRELLOG)

# The host tool converts with the wizard's own text converter: base/Text.cpp
# and the platform's code page 936 conversions (platform/<platform>/*Text.cpp).
file(GLOB t7_platform_text CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/platform/${T7_PLATFORM}/*Text.cpp)
add_executable(t7_embed_scripts
    ${PROJECT_SOURCE_DIR}/resources/generator/EmbedScripts.cpp
    ${PROJECT_SOURCE_DIR}/base/Text.cpp ${t7_platform_text})
target_include_directories(t7_embed_scripts PRIVATE ${PROJECT_SOURCE_DIR})

set(t7_embedded_cpp ${PROJECT_BINARY_DIR}/generated/resources/EmbeddedScripts.cpp)
set(t7_script_args)
set(t7_script_files)
foreach(name IN LISTS T7_SCRIPT_RESOURCES)
  set(file ${PROJECT_SOURCE_DIR}/resources/${name}.sql)
  list(APPEND t7_script_args ${name}=${file})
  list(APPEND t7_script_files ${file})
endforeach()

add_custom_command(
  OUTPUT ${t7_embedded_cpp}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${PROJECT_BINARY_DIR}/generated/resources
  COMMAND t7_embed_scripts ${t7_embedded_cpp} ${t7_script_args}
  DEPENDS t7_embed_scripts ${t7_script_files}
  COMMENT "Embedding the SQL scripts"
  VERBATIM)
target_sources(t7_wizard PRIVATE ${t7_embedded_cpp})
