#include "d3dx9/EffectModel.h"

bool AssignEffectSamplerStages(EffectModel& model, std::string& error)
{
    for (EffectTechnique& technique : model.techniques) {
        for (EffectPass& pass : technique.passes) {
            pass.samplers.clear();
            for (std::size_t p = 0; p < model.parameters.size(); ++p) {
                if (!model.parameters[p].IsSampler())
                    continue;
                bool used = false;
                for (std::int32_t shader : {pass.vertexShader, pass.pixelShader}) {
                    if (shader < 0 || static_cast<std::size_t>(shader) >= model.shaders.size())
                        continue;
                    for (std::uint32_t read : model.shaders[static_cast<std::size_t>(shader)].parameters)
                        used = used || read == p;
                }
                if (used)
                    pass.samplers.push_back(static_cast<std::uint32_t>(p));
            }
            if (pass.samplers.size() > kEffectMaxSamplerStages) {
                error = "pass \"" + pass.name + "\" of technique \"" + technique.name + "\" reads " +
                        std::to_string(pass.samplers.size()) + " samplers; there are " +
                        std::to_string(kEffectMaxSamplerStages) + " stages";
                return false;
            }
        }
    }
    return true;
}
