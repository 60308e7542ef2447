#include "launcher/launch_key_table.h"

namespace ncApp {

// Generated once at random. The main application carries the same table in
// the same order; changing an entry breaks every installed main application.
const std::array<char[kLaunchKeyChars + 1], kLaunchKeyCount> LaunchKeyTable{{
    "TOBZNJWQENLWI6IMCA7S4ID25KWM3H4Y",
    "MIQ4HX3PFXBJ22FV5PZCIWZHAKFBRF56",
    "DWY7JXL4PVO3XD4MJ5MU5OX73E7A6UTZ",
    "QDOY76H7HBDIK2LPBY2IFYCYLTPCQGV2",
    "LN44JOOB2AHEPF7LXQM7W3K67OJN6JJS",
    "G4BQH464DSL5WYOXMYH3IVJ5PP4JNLGY",
    "CY6YTHGNXGDFERVRFWY75RZXV7UIN56G",
    "DCUT4XHVKHOAAHZUDRUYOR2LMT3DVQJ2",
    "JQBCEFROG4SDQ6U2FVNSNVKMJIJJMJQW",
    "2KFYEVJUQ2FZBZSINTNZ35XA5EYCYCVG",
}};

}  // namespace ncApp
