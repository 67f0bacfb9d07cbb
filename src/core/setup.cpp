// The bike setup: the subset of the settings that describes the player's
// bike and how it rides, written as a block of "@config" and alone as a
// named setup file under "@setups/".
#include <cstdio>
#include <cstring>

#include "core/console.h"
#include "core/settings.h"
#include "files/vfs.h"
#include "platform/log.h"

static const char *const k_no_yes[] = {"No", "Yes"};
static const char *const k_brakes[] = {"Normal", "Antilock"};
static const char *const k_wheelies[] = {"No", "Yes", "Front Only"};

// The rider a fresh install races as.
static const char *const k_default_rider_name = "Rider";

#define NUMBER(key, field) {key, SETTING_NUMBER, &g_settings.setup.field, 1, 0, 0}
#define CHOICE(key, field) {key, SETTING_CHOICE, &g_settings.setup.field, 1, 0, 0}

// Writing order of the block.
static const SettingKey k_setup_keys[] = {
    {"bike", SETTING_BIKE, &g_settings.setup.bike, 1, 0, 0},
    {"name", SETTING_TEXT, &g_settings.setup.name, 1, 0, 0},
    {"number", SETTING_TEXT, &g_settings.setup.number, 1, 0, 0},
    CHOICE("rider_texture", rider_texture),
    CHOICE("head_texture", head_texture),
    CHOICE("bike_texture", bike_texture),
    CHOICE("wheel_texture", wheel_texture),
    {"stability", SETTING_STABILITY, &g_settings.setup.stability, 1, 0, 0},
    NUMBER("leveling", leveling),
    NUMBER("roll_damping", roll_damping),
    NUMBER("roll_limit_angle", roll_limit_angle),
    NUMBER("roll_limit_factor", roll_limit_factor),
    NUMBER("steering_damping", steering_damping),
    NUMBER("steering_strength", steering_strength),
    NUMBER("max_steering_force", max_steering_force),
    NUMBER("direct_steering", direct_steering),
    NUMBER("slow_damping_speed", slow_damping_speed),
    NUMBER("slow_damping_factor", slow_damping_factor),
    NUMBER("land_damping_falloff", land_damping_falloff),
    NUMBER("land_damping_factor", land_damping_factor),
    NUMBER("full_lock_speed", full_lock_speed),
    NUMBER("restricted_lock_speed", restricted_lock_speed),
    NUMBER("restricted_lock", restricted_lock),
    CHOICE("arcade", arcade),
    CHOICE("front_brake", front_brake),
    CHOICE("rear_brake", rear_brake),
    CHOICE("stop_wheelies", stop_wheelies),
    CHOICE("auto_shift", auto_shift),
    CHOICE("auto_dab", auto_dab),
    CHOICE("auto_align", auto_align),
    CHOICE("sticky_dab", sticky_dab),
    CHOICE("reverse_steering", reverse_steering),
    CHOICE("lean_indicator", lean_indicator),
    NUMBER("auto_clutch_rpms", auto_clutch_rpms),
    NUMBER("brake_torque", brake_torque),
    NUMBER("rear_brake_torque", rear_brake_torque),
    NUMBER("max_dab_speed", max_dab_speed),
    NUMBER("front_sprocket_adjustment", front_sprocket_adjustment),
    NUMBER("rear_sprocket_adjustment", rear_sprocket_adjustment),
    NUMBER("fork_compression_adjustment", fork_compression_adjustment),
    NUMBER("fork_rebound_adjustment", fork_rebound_adjustment),
    NUMBER("fork_spring_rate_adjustment", fork_spring_rate_adjustment),
    NUMBER("fork_preload_adjustment", fork_preload_adjustment),
    NUMBER("fork_oil_level_adjustment", fork_oil_level_adjustment),
    NUMBER("shock_compression_adjustment", shock_compression_adjustment),
    NUMBER("shock_rebound_adjustment", shock_rebound_adjustment),
    NUMBER("shock_spring_rate_adjustment", shock_spring_rate_adjustment),
    NUMBER("shock_preload_adjustment", shock_preload_adjustment),
    NUMBER("rider_yspring", rider_yspring),
    NUMBER("rider_ydamping", rider_ydamping),
    NUMBER("rider_zspring", rider_zspring),
    NUMBER("rider_zdamping", rider_zdamping),
    NUMBER("rider_mass_distribution", rider_mass_distribution),
};

#undef NUMBER
#undef CHOICE

enum { SETUP_KEYS = (int)(sizeof k_setup_keys / sizeof k_setup_keys[0]) };

void setup_set_bike(int index) {
    BikeSetup *u = &g_settings.setup;
    choice_set(&u->bike, index);
    char prefix[64];
    bike_list_prefix(u->bike.index, prefix, sizeof prefix);
    gear_list_build(&g_settings.bike_gear, prefix);
    gear_list_attach(&u->bike_texture, &g_settings.bike_gear);
}

void setup_init_defaults() {
    BikeSetup *u = &g_settings.setup;
    choice_init(&u->bike, "Bike", k_bike_names, SETTINGS_BIKES, 0);
    text_init(&u->name, "Name", 63, k_default_rider_name);
    text_init(&u->number, "Number", 3, "999");

    // Start-up step 6: the gear lists from the file index.
    u->rider_texture.label = "Riding Gear";
    u->head_texture.label = "Helmet";
    u->bike_texture.label = "Bike Graphics";
    u->wheel_texture.label = "Wheel Graphics";
    gear_list_build(&g_settings.rider_gear, "rider_body-");
    gear_list_attach(&u->rider_texture, &g_settings.rider_gear);
    gear_list_build(&g_settings.head_gear, "rider_head-");
    gear_list_attach(&u->head_texture, &g_settings.head_gear);
    gear_list_build(&g_settings.wheel_gear, "wheels-");
    gear_list_attach(&u->wheel_texture, &g_settings.wheel_gear);
    setup_set_bike(0);

    number_init(&u->stability, "Stability", 100, 1, 0, 100);
    number_init(&u->leveling, "Leveling", 20, 1, 0, 100);
    number_init(&u->roll_damping, "Roll Damping", 60, 1, 0, 100);
    number_init(&u->roll_limit_angle, "Roll Limit Angle", 45, 1, 0, 180);
    number_init(&u->roll_limit_factor, "Roll Limit Factor", 10, 1, 0, 64);
    number_init(&u->steering_damping, "Steering Damping", 45, 1, 0, 100);
    number_init(&u->steering_strength, "Steering Strength", 75, 1, 0, 100);
    number_init(&u->max_steering_force, "Max Steering Force", 400, 5, 0, 1000);
    number_init(&u->direct_steering, "Direct Steering", 1, 0.125, 0, 1);
    number_init(&u->slow_damping_speed, "Slow Damping Speed", 40, 1, 0, 100);
    number_init(&u->slow_damping_factor, "Slow Damping Factor", 2, 0.25, 1, 10);
    number_init(&u->land_damping_falloff, "Landing Damping Falloff", 0.25, 0.0625, 0, 0.5);
    number_init(&u->land_damping_factor, "Landing Damping Factor", 2, 0.25, 1, 3);
    number_init(&u->full_lock_speed, "Full Lock Speed", 10, 1, 1, 100);
    number_init(&u->restricted_lock_speed, "Restricted Lock Speed", 50, 1, 1, 100);
    number_init(&u->restricted_lock, "Restricted Lock Angle", 7.5, 0.125, 0, 45);
    choice_init(&u->arcade, "Arcade Physics", k_no_yes, 2, 1);
    choice_init(&u->front_brake, "Front Brake", k_brakes, 2, 1);
    choice_init(&u->rear_brake, "Rear Brake", k_brakes, 2, 0);
    choice_init(&u->stop_wheelies, "Stop Wheelies", k_wheelies, 3, 0);
    choice_init(&u->auto_shift, "Automatic Shifting", k_no_yes, 2, 1);
    choice_init(&u->auto_dab, "Dab When Stopped", k_no_yes, 2, 1);
    choice_init(&u->auto_align, "Realign After Fall", k_no_yes, 2, 1);
    choice_init(&u->sticky_dab, "Sticky Sit/Dab", k_no_yes, 2, 0);
    choice_init(&u->reverse_steering, "Reversed Steering", k_no_yes, 2, 1);
    choice_init(&u->lean_indicator, "Lean Indicator", k_no_yes, 2, 1);
    number_init(&u->auto_clutch_rpms, "Auto Clutch RPMs", 5000, 100, 0, 5000);
    number_init(&u->brake_torque, "Braking Torque (Front)", 250, 10, 0, 500);
    number_init(&u->rear_brake_torque, "Braking Torque (Rear)", 250, 10, 0, 500);
    number_init(&u->max_dab_speed, "Max Dab Speed (MPH)", 20, 1, 5, 60);
    number_init(&u->front_sprocket_adjustment, "Countershaft Sprocket", 0, 1, -2, 2);
    number_init(&u->rear_sprocket_adjustment, "Rear Sprocket", 0, 1, -2, 2);
    number_init(&u->fork_compression_adjustment, "Fork Compression Damping", 50, 1, 0, 100);
    number_init(&u->fork_rebound_adjustment, "Fork Rebound Damping", 50, 1, 0, 100);
    number_init(&u->fork_spring_rate_adjustment, "Fork Spring Rate", 50, 1, 0, 100);
    number_init(&u->fork_preload_adjustment, "Fork Preload", 50, 1, 0, 100);
    number_init(&u->fork_oil_level_adjustment, "Fork Oil Level", 50, 1, 0, 100);
    number_init(&u->shock_compression_adjustment, "Shock Compression Damping", 50, 1, 0, 100);
    number_init(&u->shock_rebound_adjustment, "Shock Rebound Damping", 50, 1, 0, 100);
    number_init(&u->shock_spring_rate_adjustment, "Shock Spring Rate", 50, 1, 0, 100);
    number_init(&u->shock_preload_adjustment, "Shock Preload", 50, 1, 0, 100);
    number_init(&u->rider_yspring, "Rider Vertical Spring", 50, 1, 0, 100);
    number_init(&u->rider_ydamping, "Rider Vertical Damping", 50, 1, 0, 100);
    number_init(&u->rider_zspring, "Rider Forward Spring", 50, 1, 0, 100);
    number_init(&u->rider_zdamping, "Rider Forward Damping", 50, 1, 0, 100);
    number_init(&u->rider_mass_distribution, "Rider Mass Distribution", 0.33, 0.01, 0.33, 0.5);

    // The riding aids above are the table defaults; the preset for the
    // default Stability replaces them, as the settings file then may.
    stability_preset((int)u->stability.value);
}

bool setup_apply_key(const char *key, const char *value) {
    for (int k = 0; k < SETUP_KEYS; k++) {
        int i;
        if (!settings_key_matches(&k_setup_keys[k], key, &i)) continue;
        settings_key_apply(&k_setup_keys[k], i, value);
        return true;
    }
    return false;
}

void setup_write(VfsFile *f) {
    for (int k = 0; k < SETUP_KEYS; k++) settings_key_write(f, &k_setup_keys[k], 0);
}

bool setup_read(VfsFile *f) {
    if (!f) return false;
    settings_read_lines(f, setup_apply_key);
    return true;
}

// "@setups/" + name, for a name that stays inside that folder.
static bool setup_file_name(const char *name, char *buffer, size_t size) {
    if (!name || !name[0] || strchr(name, '/') || strchr(name, '\\') || strstr(name, "..")) return false;
    int n = snprintf(buffer, size, "@setups/%s", name);
    return n > 0 && (size_t)n < size;
}

static void setup_write_stream(VfsFile *f, void *) { setup_write(f); }

bool setup_write_file(const char *name) {
    char file[VFS_NAME_MAX + 1];
    bool ok = setup_file_name(name, file, sizeof file) && settings_write_file_atomic(file, setup_write_stream, nullptr);
    if (ok) {
        console_message("Setup written");
    } else {
        zolm_log("Can't write setup \"%s\"\n", name ? name : "");
        console_message("Error writing setup");
    }
    return ok;
}

bool setup_read_file(const char *name) {
    char file[VFS_NAME_MAX + 1];
    VfsFile *f = setup_file_name(name, file, sizeof file) ? vfs_open(file, "rb") : nullptr;
    if (!f) {
        console_message("Error reading setup");
        return false;
    }
    setup_read(f);
    vfs_close(f);
    console_message("Setup updated");
    return true;
}
