#include "project/new_project_form.h"

#include <filesystem>

#include "gis/shorebathy.h"
#include "platform/folders.h"
#include "project/chosen_paths.h"
#include "project/project_commands.h"
#include "project/project_file.h"
#include "project/typed_choice.h"

namespace quor::project {

using platform::MessageIcon;

NewProjectForm::NewProjectForm(ProjectContext& context, ProjectWindow& window) : ctx_(context), window_(window) {}

void NewProjectForm::Form_Load() {
    auto& f = ctx_.form;
    f.bathyunits.clear();
    shorelineEnabled = true;
    Option1 = true;
    Option2 = false;
    shoreKindEnabled = true;
    if (model::fastAlgorithm(ctx_.state, ctx_.holder)) {
        shorelineEnabled = false;
        shoreKindEnabled = false;
    }
    Option_manualVisible = ctx_.state.model_mode == model::REI_MODE;
    // The checks of OK read the project's members, which outlive the last
    // project: show them, so that what the boxes say is what OK uses.
    Text1 = f.bathyname;
    if (!f.shorecov.empty()) Text2 = f.shorecov + "/" + f.shorename;
    Text3 = ctx_.state.wind_path;
}

void NewProjectForm::Command1_Click() { takeBathymetry(window_.datasetChooser()); }

void NewProjectForm::Text1_Typed(const std::string& typed) {
    const std::string path = platform::typedPath(typed);
    // Remove Project keeps the last raster's path but forgets its name, so
    // the path alone does not say that this raster is still the chosen one.
    const bool chosenAlready = !ctx_.form.bathyname.empty() && path == ctx_.form.bathycov;
    if (path.empty() || path == Text1 || chosenAlready) return;
    TypedDataset chooser({path, {}});
    takeBathymetry(chooser);
}

void NewProjectForm::takeBathymetry(gis::DatasetChooser& chooser) {
    auto& f = ctx_.form;
    ChosenPaths paths{&f.bathycov, &f.bathyname};
    auto raster = gis::Getbathymetry(f, chooser, ctx_.messages);
    if (!raster) {
        ctx_.messages.message(kErrorSelectingBathymetry);
        return;
    }
    if (paths.refused(ctx_.messages)) return;
    Text1 = raster->name();
}

void NewProjectForm::Command2_Click() { takeShoreline(window_.datasetChooser()); }

void NewProjectForm::Text2_Typed(const std::string& typed) {
    const std::string path = platform::typedPath(typed);
    if (path.empty() || path == Text2 || !shorelineEnabled) return;
    // A coverage's class is typed after the coverage: "<coverage>/<class>".
    gis::DatasetItem item{path, {}};
    if (Option2 && !std::filesystem::exists(path)) {
        const std::filesystem::path p(path);
        item = {p.parent_path().string(), p.filename().string()};
    }
    TypedDataset chooser(item);
    takeShoreline(chooser);
}

void NewProjectForm::takeShoreline(gis::DatasetChooser& chooser) {
    auto& f = ctx_.form;
    if (Option1)
        f.option_arccov = 1;
    else if (Option2)
        f.option_arccov = 2;
    ChosenPaths paths{&f.shorecov, &f.shorename, &f.shorefeature};
    auto fc = gis::Getshoreline(f, f.option_arccov, chooser, ctx_.messages);
    if (!fc) {
        ctx_.messages.message(kErrorSelectingShoreline);
        return;
    }
    if (paths.refused(ctx_.messages)) return;
    // A shapefile has no class kind; a kind left from a coverage would make
    // the project read back as a coverage.
    if (f.option_arccov == 1) f.shorefeature.clear();
    Text2 = f.shorecov + "/" + f.shorename;
    shoreKindEnabled = false;
}

void NewProjectForm::Command3_Click() { takeWindFile(window_); }

void NewProjectForm::Text3_Typed(const std::string& typed) {
    const std::string path = platform::typedPath(typed);
    if (path.empty() || path == Text3) return;
    // A browsed file always exists; a typed one is looked for first.
    if (!std::filesystem::is_regular_file(path)) {
        ctx_.messages.message(kNoSuchWindFile + path, MessageIcon::Exclamation);
        return;
    }
    TypedFile chooser(path);
    takeWindFile(chooser);
}

void NewProjectForm::takeWindFile(FileChooser& chooser) {
    if (auto path = selwindfile(ctx_.state, ctx_.messages, chooser)) Text3 = *path;
}

void NewProjectForm::Option_manual_Click() {
    Option_manual = true;
    Option_text = false;
    windFileVisible = false;
    if (ctx_.hooks.showWindEntryForm) ctx_.hooks.showWindEntryForm();
    Text3 = ctx_.state.wind_path;
}

void NewProjectForm::Option_text_Click() {
    Option_text = true;
    Option_manual = false;
    windFileVisible = true;
}

void NewProjectForm::Check2_Click() { windEnabled = !Check2; }

void NewProjectForm::newpro_ok_Click() {
    auto& f = ctx_.form;
    auto& st = ctx_.state;
    // A path without a raster name is what Remove Project leaves behind:
    // a project made from it could never open its raster.
    if (f.bathycov.empty() || f.bathyname.empty()) {
        ctx_.messages.message(kNoBathymetrySelected);
        return;
    }
    if (!model::fastAlgorithm(st, ctx_.holder) && f.shorecov.empty()) {
        ctx_.messages.message(kNoShorelineSelected);
        return;
    }
    if (!Check2) {
        if (st.wind_path.empty()) {
            ctx_.messages.message(kNoWindSelected);
            return;
        }
        st.batch_mode = 0;
    } else {
        st.batch_mode = 1;
    }
    f.bathyunits = Combo1;
    if (f.bathyunits.empty()) {
        ctx_.messages.message(kNoUnitsSelected);
        return;
    }
    st.bathy_positive = Check1 ? 1 : 0;
    if (st.model_mode == model::REI_MODE) {
        if (!loadReiWind(ctx_, st.wind_path)) st.dlg_cancel = true;
    }
    closed = true;
}

void NewProjectForm::newpro_cancel_Click() {
    ctx_.state.wind_path.clear();
    ctx_.state.dlg_cancel = true;
    closed = true;
}

}  // namespace quor::project
